#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "common/error.h"

namespace netupdate::download {

// A response whose status is not a success. The message is the status line
// exactly as received; the body of the error page is kept as text.
class EHttpProtocolError : public common::Error {
 public:
  EHttpProtocolError(std::int32_t statusCode, const std::string& statusLine, std::string body,
                     std::string location = {})
      : common::Error(statusLine),
        m_statusCode(statusCode),
        m_body(std::move(body)),
        m_location(std::move(location)) {}
  std::int32_t statusCode() const { return m_statusCode; }
  const std::string& body() const { return m_body; }
  // A redirect's Location header as received, for a caller that follows
  // redirects by its own rules; empty when there was none.
  const std::string& location() const { return m_location; }

 private:
  std::int32_t m_statusCode;
  std::string m_body;
  std::string m_location;
};

// A TLS handshake that did not succeed. The message reads the same on every
// platform for the causes a user can act on; for any other the TLS
// library's own reason follows "TLS handshake failed: ".
class ETlsError : public common::Error {
 public:
  enum class Cause {
    Untrusted,  // the chain ends at no root the system trusts
    Expired,    // the server's certificate is out of its validity period
    WrongHost,  // the certificate names another host
    Protocol,   // no protocol version both sides speak (TLS 1.2 missing on an old system)
    Other,
  };
  ETlsError(Cause cause, const std::string& message) : common::Error(message), m_cause(cause) {}
  Cause cause() const { return m_cause; }

  static ETlsError untrusted();
  static ETlsError expired();
  // host as the URL writes it.
  static ETlsError wrongHost(const std::string& host);
  static ETlsError failed(Cause cause, const std::string& reason);

 private:
  Cause m_cause;
};

// A socket or resolver failure, carrying its Windows Sockets error code:
// "Socket Error # <code>\r\n<text for the code>".
class ESocketError : public common::Error {
 public:
  explicit ESocketError(std::int32_t code);
  std::int32_t code() const { return m_code; }

 private:
  std::int32_t m_code;
};

// The peer closed the connection where the response could not end.
class EConnectionClosed : public common::Error {
 public:
  EConnectionClosed() : common::Error("Connection Closed Gracefully.") {}
};

// The text of a Windows Sockets error code; empty for a code we don't know.
std::string socketErrorText(std::int32_t code);

// Windows Sockets codes for the conditions the client meets.
inline constexpr std::int32_t kWsaConnectionAborted = 10053;
inline constexpr std::int32_t kWsaConnectionReset = 10054;
inline constexpr std::int32_t kWsaShutdown = 10058;
inline constexpr std::int32_t kWsaTimedOut = 10060;
inline constexpr std::int32_t kWsaConnectionRefused = 10061;
inline constexpr std::int32_t kWsaHostNotFound = 11001;
inline constexpr std::int32_t kWsaTryAgain = 11002;
inline constexpr std::int32_t kWsaNoRecovery = 11003;
inline constexpr std::int32_t kWsaNoData = 11004;

}  // namespace netupdate::download
