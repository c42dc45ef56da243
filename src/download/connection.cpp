#include "download/connection.h"

#include <cstring>

#include "common/error.h"

namespace netupdate::download {

namespace {

// Big enough that a large body moves in few system calls, small enough that
// memory stays flat whatever the body size.
constexpr std::size_t kBufferSize = 64 * 1024;

}  // namespace

Connection::Connection(std::unique_ptr<Transport> transport)
    : m_transport(std::move(transport)), m_buffer(kBufferSize) {}

Connection::~Connection() {
  close();
}

void Connection::write(std::string_view bytes) {
  try {
    m_transport->write(bytes.data(), bytes.size());
  } catch (...) {
    m_broken = true;
    throw;
  }
}

bool Connection::fill() {
  if (m_peerClosed) return false;
  m_begin = m_end = 0;
  std::size_t got = 0;
  try {
    got = m_transport->read(m_buffer.data(), m_buffer.size(), m_readTimeout);
  } catch (...) {
    m_broken = true;
    throw;
  }
  if (got == 0) {
    m_peerClosed = true;
    return false;
  }
  m_end = got;
  return true;
}

std::string_view Connection::buffered() {
  if (m_begin == m_end && !fill()) return {};
  return {m_buffer.data() + m_begin, m_end - m_begin};
}

std::optional<std::string> Connection::readLine(std::size_t maxLength) {
  std::string line;
  for (;;) {
    const std::string_view available = buffered();
    if (available.empty()) return std::nullopt;
    const void* lineFeed = std::memchr(available.data(), '\n', available.size());
    const std::size_t take =
        lineFeed == nullptr
            ? available.size()
            : static_cast<std::size_t>(static_cast<const char*>(lineFeed) - available.data());
    if (line.size() + take > maxLength) {
      m_broken = true;
      throw common::Error("Max line length exceeded.");
    }
    line.append(available.data(), take);
    if (lineFeed != nullptr) {
      consume(take + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    consume(take);
  }
}

bool Connection::waitReadable(int timeoutMs) {
  if (hasBuffered() || m_peerClosed) return true;
  return m_transport->waitReadable(timeoutMs);
}

bool Connection::reusable() {
  return !m_broken && !m_peerClosed && !hasBuffered() && m_transport->idle();
}

void Connection::close() noexcept {
  m_transport->close();
}

}  // namespace netupdate::download
