#include "parse/line_reader.h"

#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace netupdate::parse {

namespace {

// Looks at CR and LF together in one pass: the first LF in [from, end), or
// null. Sets loneCr when a CR not directly followed by an LF was passed, the
// only case in which the line has to be rewritten.
const char* findLineEnd(const char* from, const char* end, bool& loneCr) {
  const char* at = from;
  const auto take = [&](const char* byte) {
    if (*byte == '\n') return true;
    if (byte + 1 == end || byte[1] != '\n') loneCr = true;
    return false;
  };
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i cr = _mm_set1_epi8('\r');
  for (; end - at >= 16; at += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    auto mask = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, lf), _mm_cmpeq_epi8(bytes, cr))));
    for (; mask != 0; mask &= mask - 1) {
      const char* byte = at + __builtin_ctz(mask);
      if (take(byte)) return byte;
    }
  }
#endif
  for (; at != end; ++at) {
    if ((*at == '\n' || *at == '\r') && take(at)) return at;
  }
  return nullptr;
}

}  // namespace

LineReader::LineReader(Source source, std::size_t blockSize)
    : m_source(std::move(source)),
      m_blockSize(blockSize == 0 ? 1 : blockSize),
      m_buffer(new char[kBlocksHeld * m_blockSize]),
      m_capacity(kBlocksHeld * m_blockSize) {}

bool LineReader::next(std::string_view& line, std::size_t limit) {
  m_cut = false;
  for (;;) {
    char* const begin = m_buffer.get() + m_begin;
    const std::size_t pending = m_end - m_begin;
    // A CR at the end of what has been read may yet be followed by an LF;
    // the search stops short of it until more is read or the input ends.
    std::size_t searchable = pending;
    if (!m_atEnd && searchable > m_scanned && begin[searchable - 1] == '\r') --searchable;
    // A long line arrives over many blocks; remembering how far it has been
    // searched keeps the work linear in its length.
    if (const char* lf = findLineEnd(begin + m_scanned, begin + searchable, m_loneCr)) {
      char* const lineEnd = begin + (lf - begin);
      m_begin += static_cast<std::size_t>(lf - begin) + 1;
      m_scanned = 0;
      line = m_cut ? std::string_view() : finishLine(begin, lineEnd);
      m_loneCr = false;
      m_cut = m_cut || line.size() > limit;
      if (m_cut) line = {};
      return true;
    }
    m_scanned = searchable;
    // Without a lone CR every byte searched belongs to the line, so it is
    // known to be longer than the caller wants and need not be kept.
    if (m_cut || (!m_loneCr && m_scanned > limit)) {
      m_cut = true;
      m_begin += m_scanned;
      m_scanned = 0;
    }
    if (m_atEnd) {
      const std::size_t rest = m_end - m_begin;
      if (rest == 0 && !m_cut) return false;
      line = m_cut ? std::string_view() : finishLine(begin, begin + rest);
      m_begin = m_end;
      m_scanned = 0;
      m_loneCr = false;
      m_cut = m_cut || line.size() > limit;
      if (m_cut) line = {};
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
  const bool loneCr = m_loneCr;
  m_loneCr = false;
  char* cr =
      loneCr ? static_cast<char*>(std::memchr(begin, '\r', static_cast<std::size_t>(end - begin)))
             : nullptr;
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
  if (m_capacity - m_end < m_blockSize) {
    // Moving the unfinished line to the front only when the room runs out,
    // rather than before every read, keeps the copying rare.
    const std::size_t pending = m_end - m_begin;
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
  // Reading a block at a time, even into a buffer grown for a long line,
  // keeps the bytes in cache between the read and the scan.
  const std::size_t got = m_source(m_buffer.get() + m_end, m_blockSize);
  if (got == 0) {
    m_atEnd = true;
  } else {
    m_end += got;
  }
}

}  // namespace netupdate::parse
