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
  EHttpProtocolError(std::int32_t statusCode, const std::string& statusLine, std::string body)
      : common::Error(statusLine), m_statusCode(statusCode), m_body(std::move(body)) {}
  std::int32_t statusCode() const { return m_statusCode; }
  const std::string& body() const { return m_body; }

 private:
  std::int32_t m_statusCode;
  std::string m_body;
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
