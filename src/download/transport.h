#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace netupdate::download {

// The byte stream under one connection. The client talks to it only through
// this seam, so tests can put a scripted stream with injected failures where
// a socket would be.
class Transport {
 public:
  virtual ~Transport() = default;
  // Waits at most timeoutMs (forever when <= 0) for data, then reads up to
  // size bytes; 0 means the peer has closed. Throws ESocketError, or
  // common::Error("Read timed out.").
  virtual std::size_t read(char* data, std::size_t size, int timeoutMs) = 0;
  // Writes all bytes or throws ESocketError.
  virtual void write(const char* data, std::size_t size) = 0;
  // True when data or the peer's close arrives within timeoutMs.
  virtual bool waitReadable(int timeoutMs) = 0;
  // True while the peer has neither closed nor sent anything unasked: only
  // then can a new request go out on this stream.
  virtual bool idle() = 0;
  // Shuts down sending, then releases the stream. Never throws.
  virtual void close() noexcept = 0;
};

class Connector {
 public:
  virtual ~Connector() = default;
  // host as written in the URL, an IPv6 literal without its brackets.
  virtual std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                             int timeoutMs) = 0;
};

// The operating system's sockets; one implementation file per platform.
// Failures carry Windows Sockets codes on every platform.
std::unique_ptr<Connector> makeSocketConnector();

// TLS 1.2 or newer over the streams another connector makes: OpenSSL on
// Linux, Schannel on Windows, one implementation file each. The host names
// the server for SNI (not sent for an IP literal) and is what its
// certificate must be valid for; the chain is verified against the system's
// trust store, always. The timeout covers the connect and the handshake
// together. A failed handshake throws ETlsError; a socket failure before it
// stays an ESocketError. streams must outlive the connector.
std::unique_ptr<Connector> makeTlsConnector(Connector& streams);

}  // namespace netupdate::download
