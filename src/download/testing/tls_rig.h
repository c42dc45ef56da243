#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace netupdate::download::testing {

// The servers src/download/testing/tls-rig starts beside the https test, on
// Linux as under Wine: one nginx with a TLS listener per certificate and a
// plain-HTTP one, and a raw peer that closes during the handshake. Every
// nginx listener serves www(), runs SSI under /ssi/, sets a Secure and a
// plain cookie at /cookie/set, answers 204 under /cookie/, and under /cut/
// passes on a body that ends short of its Content-Length. nginx logs one
// line per request: the connection's serial number, the request line, the
// status, the transfer encoding and the Cookie header.
class TlsRig {
 public:
  enum class Listener { Good, Expired, OtherName, Untrusted, Plain, HangUp };

  // Empty when the rig is there, otherwise why not.
  static std::string unavailableBecause();

  TlsRig();

  // scheme://host:port/path for the listener.
  std::string url(const std::string& scheme, Listener listener, const std::string& host,
                  const std::string& path) const;
  // The names the good certificate can be matched by here: 127.0.0.1 and
  // localhost on Linux; localhost only under Wine, whose crypt32 matches no
  // IP address against a certificate.
  const std::vector<std::string>& hosts() const { return m_hosts; }
  std::filesystem::path www() const;
  // The size the /cut/ body announces and the bytes of it that are sent.
  std::size_t cutLength() const { return m_cutLength; }
  std::size_t cutSent() const { return m_cutSent; }
  // The requests logged since this object was made, once every one of them
  // is; call after the last request. Connections are numbered from 1 in the
  // order they first appear.
  std::string accessLog();

 private:
  std::filesystem::path m_root;
  std::map<Listener, std::uint16_t> m_ports;
  std::vector<std::string> m_hosts;
  std::size_t m_cutLength = 0;
  std::size_t m_cutSent = 0;
  std::size_t m_logStart = 0;
};

}  // namespace netupdate::download::testing
