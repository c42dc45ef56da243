#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "download/transport.h"

namespace netupdate::download {

// A transport with its read buffer. Bytes read ahead belong to the
// connection, not to one response, so they are never lost between the head,
// the body and the next response on a kept connection.
class Connection {
 public:
  explicit Connection(std::unique_ptr<Transport> transport);
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  void setReadTimeout(int timeoutMs) { m_readTimeout = timeoutMs; }
  void write(std::string_view bytes);

  // One line without its LF and a CR right before it, raw bytes. Throws
  // "Max line length exceeded." once more than maxLength bytes came without
  // an LF. nullopt when the peer closed first; a partial line is dropped.
  std::optional<std::string> readLine(std::size_t maxLength);

  // What is buffered, reading once more when nothing is; empty once the
  // peer has closed. consume() takes bytes off the front.
  std::string_view buffered();
  void consume(std::size_t count) { m_begin += count; }

  bool hasBuffered() const { return m_begin < m_end; }
  bool waitReadable(int timeoutMs);
  bool peerClosed() const { return m_peerClosed; }
  // A reset ending a body read until close counts as the peer's close.
  void markPeerClosed() { m_peerClosed = true; }
  // True when a new request may go out on this connection.
  bool reusable();
  void close() noexcept;

 private:
  bool fill();

  std::unique_ptr<Transport> m_transport;
  std::vector<char> m_buffer;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  int m_readTimeout = 0;
  bool m_peerClosed = false;
  bool m_broken = false;
};

}  // namespace netupdate::download
