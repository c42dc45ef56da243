#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "download/http_client.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNginx = "/usr/sbin/nginx";

void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// nginx in the foreground on a temporary root. It inherits a socket already
// listening on a port the OS chose, so it is reachable from the first
// moment: connections wait in the queue until it accepts them.
class Nginx {
 public:
  Nginx() {
    char pattern[] = "/tmp/netupdate-nginx-XXXXXX";
    m_root = ::mkdtemp(pattern);
    m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 64) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      throw std::runtime_error("cannot listen on loopback");
    }
    m_port = ntohs(address.sin_port);
    const std::string root = m_root.string();
    writeFile(m_root / "nginx.conf",
              "daemon off;\nuser root;\nworker_processes 1;\npid " + root + "/nginx.pid;\n" +
                  "error_log " + root + "/error.log;\nevents { worker_connections 64; }\n" +
                  "http {\n  log_format conn '$connection $request $status "
                  "$sent_http_transfer_encoding';\n  access_log " +
                  root + "/access.log conn;\n" + "  client_body_temp_path " + root +
                  "/tmp;\n  proxy_temp_path " + root + "/tmp;\n  fastcgi_temp_path " + root +
                  "/tmp;\n  uwsgi_temp_path " + root + "/tmp;\n  scgi_temp_path " + root +
                  "/tmp;\n" +
                  "  default_type application/octet-stream;\n  server {\n    listen 127.0.0.1:" +
                  std::to_string(m_port) + ";\n    root " + root +
                  "/www;\n    location /ssi/ { ssi on; }\n  }\n}\n");
    m_pid = ::fork();
    if (m_pid == 0) {
      const std::string inherited = std::to_string(m_listener) + ";";
      ::setenv("NGINX", inherited.c_str(), 1);
      const std::string errorLog = root + "/error.log";
      const std::string config = root + "/nginx.conf";
      ::execl(kNginx, "nginx", "-e", errorLog.c_str(), "-p", root.c_str(), "-c", config.c_str(),
              static_cast<char*>(nullptr));
      ::_exit(127);
    }
  }

  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;

  ~Nginx() {
    stop();
    ::close(m_listener);
    fs::remove_all(m_root);
  }

  // Ends nginx, after which its logs are complete.
  void stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
  }

  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
  }
  fs::path www() const { return m_root / "www"; }
  std::string accessLog() const { return readFile(m_root / "access.log"); }

 private:
  fs::path m_root;
  int m_listener = -1;
  std::uint16_t m_port = 0;
  pid_t m_pid = -1;
};

class NginxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kNginx)) GTEST_SKIP() << "nginx is not installed (scripts/setup installs it)";
  }
};

std::string patternedBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST_F(NginxTest, StaticFileThenChunkedPageOnOneConnection) {
  const std::string staticBody = patternedBytes(3 * 1024 * 1024 + 17);
  {
    Nginx nginx;
    writeFile(nginx.www() / "prices.bin", staticBody);
    writeFile(nginx.www() / "ssi" / "page.html",
              "<p><!--# echo var=\"nothing\" default=\"fuel\" --> prices</p>\n");
    THttpClient client;
    StringSink file;
    client.Get(nginx.url("/prices.bin"), file);
    EXPECT_TRUE(file.text() == staticBody)
        << "static file differs, " << file.text().size() << " bytes";
    StringSink page;
    client.Get(nginx.url("/ssi/page.html"), page);
    EXPECT_EQ(page.text(), "<p>fuel prices</p>\n");
    nginx.stop();
    // One connection served both, and the page really came in chunks.
    EXPECT_EQ(nginx.accessLog(),
              "1 GET /prices.bin HTTP/1.1 200 -\n1 GET /ssi/page.html HTTP/1.1 200 chunked\n");
  }
}

TEST_F(NginxTest, ErrorsAndRedirectsAreNotFollowed) {
  Nginx nginx;
  writeFile(nginx.www() / "ssi" / "page.html", "x");
  THttpClient client;
  StringSink sink;
  try {
    client.Get(nginx.url("/missing.html"), sink);
    ADD_FAILURE() << "404 succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 404 Not Found");
    EXPECT_NE(error.body().find("404 Not Found"), std::string::npos);
  }
  try {
    client.Get(nginx.url("/ssi"), sink);
    ADD_FAILURE() << "redirect succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 301 Moved Permanently");
  }
  EXPECT_EQ(sink.text(), "");
  nginx.stop();
  EXPECT_EQ(nginx.accessLog(), "1 GET /missing.html HTTP/1.1 404 -\n1 GET /ssi HTTP/1.1 301 -\n");
}

}  // namespace
}  // namespace netupdate::download
