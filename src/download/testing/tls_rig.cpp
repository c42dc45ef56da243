#include "download/testing/tls_rig.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "download/byte_sink.h"
#include "download/http_client.h"
#include "download/http_errors.h"
#include "download/testing/test_files.h"

namespace netupdate::download::testing {

namespace {

namespace fs = std::filesystem;

TlsRig::Listener listenerNamed(const std::string& name) {
  using Listener = TlsRig::Listener;
  static const std::map<std::string, Listener> kNames{{"good", Listener::Good},
                                                      {"expired", Listener::Expired},
                                                      {"other-name", Listener::OtherName},
                                                      {"untrusted", Listener::Untrusted},
                                                      {"plain", Listener::Plain},
                                                      {"hang-up", Listener::HangUp}};
  const auto found = kNames.find(name);
  if (found == kNames.end()) throw std::runtime_error("tls-rig names an unknown listener " + name);
  return found->second;
}

}  // namespace

std::string TlsRig::unavailableBecause() {
  const std::string why = environment("NETUPDATE_TLS_UNAVAILABLE");
  if (!why.empty() || !environment("NETUPDATE_TLS_PORTS").empty()) return why;
  return "the https test needs the servers src/download/testing/tls-rig starts: run it "
         "through ctest";
}

TlsRig::TlsRig() : m_root(fromUtf8(environment("NETUPDATE_TLS_ROOT"))) {
  std::istringstream ports(environment("NETUPDATE_TLS_PORTS"));
  for (std::string entry; ports >> entry;) {
    const std::size_t equals = entry.find('=');
    m_ports[listenerNamed(entry.substr(0, equals))] =
        static_cast<std::uint16_t>(std::stoul(entry.substr(equals + 1)));
  }
  std::istringstream hosts(environment("NETUPDATE_TLS_HOSTS"));
  for (std::string host; hosts >> host;) m_hosts.push_back(host);
  std::istringstream cut(environment("NETUPDATE_TLS_CUT"));
  cut >> m_cutLength >> m_cutSent;
  if (m_ports.size() != 6 || m_hosts.empty() || m_cutSent == 0) {
    throw std::runtime_error("tls-rig left out some of its servers or host names");
  }
  std::error_code none;
  m_logStart = static_cast<std::size_t>(fs::file_size(m_root / "access.log", none));
  if (none) m_logStart = 0;
}

std::string TlsRig::url(const std::string& scheme, Listener listener, const std::string& host,
                        const std::string& path) const {
  return scheme + "://" + host + ":" + std::to_string(m_ports.at(listener)) + path;
}

fs::path TlsRig::www() const {
  return m_root / "www";
}

// nginx logs a request as it finishes it, before it turns to anything else;
// its one worker takes a new connection only after that. So once a request
// on a connection of its own has been answered, every earlier one is in the log.
std::string TlsRig::accessLog() {
  THttpClient client;
  StringSink ignored;
  try {
    client.Get(url("http", Listener::Plain, "127.0.0.1", kEndOfTestPath), ignored);
  } catch (const EHttpProtocolError&) {
    // The sentinel names no file: a 404 is its answer.
  }
  return renumberedAccessLog(readFile(m_root / "access.log").substr(m_logStart));
}

}  // namespace netupdate::download::testing
