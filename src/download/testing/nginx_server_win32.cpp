#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "download/byte_sink.h"
#include "download/http_client.h"
#include "download/testing/nginx_server.h"
#include "download/testing/test_files.h"

// Wine runs Windows programs only, so nginx-wine-run starts the Linux nginx
// beside the test and tells it where: NETUPDATE_NGINX_PORT and
// NETUPDATE_NGINX_ROOT (the server's folder as Windows sees it). One nginx
// may serve several tests in turn, so each looks at its own part of the log.
namespace netupdate::download::testing {

namespace {

namespace fs = std::filesystem;

constexpr const char* kSentinel = "/netupdate-end-of-test";

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

// "7 GET / HTTP/1.1 200 -" and the like, connections renumbered from 1.
std::string renumbered(const std::string& log) {
  std::map<std::string, int> numbers;
  std::istringstream lines(log);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    const std::size_t blank = line.find(' ');
    if (line.find(std::string(" ") + kSentinel + " ") != std::string::npos) continue;
    const std::string connection = line.substr(0, blank);
    const auto found = numbers.try_emplace(connection, static_cast<int>(numbers.size()) + 1).first;
    out += std::to_string(found->second) + line.substr(blank) + "\n";
  }
  return out;
}

}  // namespace

std::string Nginx::unavailableBecause() {
  if (!environment("NETUPDATE_NGINX_PORT").empty()) return "";
  return "Wine cannot start the Linux nginx: run this test through ctest, whose "
         "src/download/testing/nginx-wine-run starts it beside the test";
}

Nginx::Nginx()
    : m_root(environment("NETUPDATE_NGINX_ROOT")),
      m_port(static_cast<unsigned>(std::stoul(environment("NETUPDATE_NGINX_PORT")))) {
  std::error_code none;
  m_logStart = static_cast<std::size_t>(fs::file_size(m_root / "access.log", none));
  if (none) m_logStart = 0;
}

Nginx::~Nginx() = default;

std::string Nginx::url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

fs::path Nginx::www() const {
  return m_root / "www";
}

// nginx logs a request as it finishes it, before it turns to anything else;
// its one worker takes a new connection only after that. So once a request
// on a connection of its own has been answered, every earlier one is in the log.
std::string Nginx::accessLog() {
  THttpClient client;
  StringSink ignored;
  try {
    client.Get(url(kSentinel), ignored);
  } catch (const EHttpProtocolError&) {
    // The sentinel names no file: a 404 is its answer.
  }
  return renumbered(readFile(m_root / "access.log").substr(m_logStart));
}

}  // namespace netupdate::download::testing
