#pragma once

#include <cstdint>
#include <string>

namespace netupdate::download {

// A URL taken apart the way the client needs it. Nothing is percent-encoded
// or decoded: the request target goes out exactly as written.
struct TUrl {
  std::string protocol;
  std::string username;
  std::string password;
  // As written; an IPv6 literal keeps its square brackets.
  std::string host;
  // Empty when the URL names none.
  std::string port;
  // "/" plus everything up to and including the last "/".
  std::string path;
  std::string document;
  std::string query;

  // Never fails: whatever the text, each part gets what its rule finds.
  static TUrl split(const std::string& text);

  // The port text to use: the URL's own, else the scheme's default. Throws
  // common::Error("Unknown Protocol") for another scheme without a port.
  std::string effectivePort() const;
  // The port's numeric value, 80 when the text is not a port number.
  std::uint16_t portNumber() const;
  std::string requestTarget() const;
  // The host, with ":" and the port only when the port is not the scheme's default.
  std::string hostHeader() const;
  // The host for the resolver: an IPv6 literal without its brackets.
  std::string hostName() const;
  bool isHttps() const;
};

}  // namespace netupdate::download
