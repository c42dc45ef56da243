#include "parse/line_reader.h"

#include <cstring>
#include <utility>

namespace netupdate::parse {

LineReader::LineReader(Source source, std::size_t blockSize)
    : m_source(std::move(source)),
      m_blockSize(blockSize == 0 ? 1 : blockSize),
      m_buffer(new char[m_blockSize]),
      m_capacity(m_blockSize) {}

bool LineReader::next(std::string_view& line) {
  for (;;) {
    char* const begin = m_buffer.get() + m_begin;
    const std::size_t pending = m_end - m_begin;
    // A long line arrives over many blocks; remembering how far it has been
    // searched keeps the work linear in its length.
    if (auto* lf = static_cast<char*>(std::memchr(begin + m_scanned, '\n', pending - m_scanned))) {
      m_begin += static_cast<std::size_t>(lf - begin) + 1;
      m_scanned = 0;
      line = finishLine(begin, lf);
      return true;
    }
    m_scanned = pending;
    if (m_atEnd) {
      if (pending == 0) return false;
      m_begin = m_end;
      m_scanned = 0;
      line = finishLine(begin, begin + pending);
      return true;
    }
    refill();
  }
}

void LineReader::drain() {
  m_begin = m_end = m_scanned = 0;
  while (!m_atEnd) m_atEnd = m_source(m_buffer.get(), m_capacity) == 0;
}

std::string_view LineReader::finishLine(char* begin, char* end) {
  // Nearly every CR sits right before the LF; a lone one inside the line is
  // rare, so only then are the bytes moved.
  if (end != begin && end[-1] == '\r') --end;
  auto* cr = static_cast<char*>(std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)));
  if (cr != nullptr) {
    char* out = cr;
    for (const char* in = cr; in != end; ++in) {
      if (*in != '\r') *out++ = *in;
    }
    end = out;
  }
  return {begin, static_cast<std::size_t>(end - begin)};
}

void LineReader::refill() {
  const std::size_t pending = m_end - m_begin;
  if (m_begin != 0) {
    std::memmove(m_buffer.get(), m_buffer.get() + m_begin, pending);
    m_begin = 0;
    m_end = pending;
  }
  if (m_capacity - m_end < m_blockSize) {
    // Doubling keeps the copying of one very long line linear in its length.
    std::size_t capacity = m_capacity * 2;
    while (capacity - m_end < m_blockSize) capacity *= 2;
    std::unique_ptr<char[]> buffer(new char[capacity]);
    std::memcpy(buffer.get(), m_buffer.get(), m_end);
    m_buffer = std::move(buffer);
    m_capacity = capacity;
  }
  const std::size_t got = m_source(m_buffer.get() + m_end, m_capacity - m_end);
  if (got == 0) {
    m_atEnd = true;
  } else {
    m_end += got;
  }
}

}  // namespace netupdate::parse
