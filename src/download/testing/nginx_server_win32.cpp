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
    client.Get(url(kEndOfTestPath), ignored);
  } catch (const EHttpProtocolError&) {
    // The sentinel names no file: a 404 is its answer.
  }
  return renumberedAccessLog(readFile(m_root / "access.log").substr(m_logStart));
}

}  // namespace netupdate::download::testing
