#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "download/testing/nginx_server.h"
#include "download/testing/test_files.h"

namespace netupdate::download::testing {

namespace {

namespace fs = std::filesystem;

constexpr const char* kNginx = "/usr/sbin/nginx";

}  // namespace

std::string Nginx::unavailableBecause() {
  return fs::exists(kNginx) ? "" : "nginx is not installed (scripts/setup installs it)";
}

// nginx in the foreground on a temporary root. It inherits a socket already
// listening on a port the OS chose, so it is reachable from the first
// moment: connections wait in the queue until it accepts them.
// (src/download/testing/nginx-wine-run starts it the same way for the Windows build.)
Nginx::Nginx() {
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
                "/tmp;\n  uwsgi_temp_path " + root + "/tmp;\n  scgi_temp_path " + root + "/tmp;\n" +
                "  default_type application/octet-stream;\n  server {\n    listen 127.0.0.1:" +
                std::to_string(m_port) + ";\n    root " + root +
                "/www;\n    location /ssi/ { ssi on; }\n  }\n}\n");
  const pid_t pid = ::fork();
  if (pid == 0) {
    const std::string inherited = std::to_string(m_listener) + ";";
    ::setenv("NGINX", inherited.c_str(), 1);
    const std::string errorLog = root + "/error.log";
    const std::string config = root + "/nginx.conf";
    ::execl(kNginx, "nginx", "-e", errorLog.c_str(), "-p", root.c_str(), "-c", config.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  m_pid = pid;
}

Nginx::~Nginx() {
  if (m_pid > 0) {
    ::kill(static_cast<pid_t>(m_pid), SIGTERM);
    ::waitpid(static_cast<pid_t>(m_pid), nullptr, 0);
  }
  ::close(m_listener);
  fs::remove_all(m_root);
}

std::string Nginx::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

fs::path Nginx::www() const {
  return m_root / "www";
}

// Once nginx has ended, its log is complete.
std::string Nginx::accessLog() {
  if (m_pid > 0) {
    ::kill(static_cast<pid_t>(m_pid), SIGTERM);
    ::waitpid(static_cast<pid_t>(m_pid), nullptr, 0);
    m_pid = -1;
  }
  return readFile(m_root / "access.log");
}

}  // namespace netupdate::download::testing
