#pragma once

#include <cstddef>
#include <string>

namespace netupdate::download {

// Where a response body goes. The client writes each piece as it arrives, so
// the sink sees the body unchanged and in order; a sink that cannot take a
// piece throws, and the client reports that as "Stream write error".
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(const char* data, std::size_t size) = 0;
};

// Keeps the body in memory, up to a limit past which further bytes are
// counted but dropped: an error page from a hostile server must not be able
// to take all memory.
class StringSink : public ByteSink {
 public:
  explicit StringSink(std::size_t limit = static_cast<std::size_t>(-1)) : m_limit(limit) {}
  void write(const char* data, std::size_t size) override;
  const std::string& text() const { return m_text; }
  // Everything offered, including what the limit dropped.
  std::size_t received() const { return m_received; }

 private:
  std::size_t m_limit;
  std::size_t m_received = 0;
  std::string m_text;
};

}  // namespace netupdate::download
