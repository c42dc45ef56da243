#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace netupdate::parse {

// Splits a byte stream into lines without holding more of it than the line
// being handed out plus one block, so memory follows the longest line and
// never the size of the input. A line ends at LF; every CR is dropped, which
// covers both CR LF line ends and a lone CR, after which the line goes on.
// The last line needs no line end.
class LineReader {
 public:
  // Fills data with up to size bytes and returns how many; 0 means the end.
  // Errors are raised by the source itself and pass through untouched.
  using Source = std::function<std::size_t(char* data, std::size_t size)>;

  static constexpr std::size_t kBlockSize = 128 * 1024;
  // Room for this many blocks before the unfinished line is moved to the front.
  static constexpr std::size_t kBlocksHeld = 8;

  explicit LineReader(Source source, std::size_t blockSize = kBlockSize);

  // The next line without its line end, valid until the next call; false
  // when the input is used up. A line longer than limit is reported by
  // lastLineCut() and not handed out; one that does not fit in what has been
  // read is not held either, so such lines cost no memory.
  bool next(std::string_view& line, std::size_t limit = std::string_view::npos);
  bool lastLineCut() const { return m_cut; }

  // Reads the rest of the input without splitting it, for callers that no
  // longer look at the lines but still have to see read errors.
  void drain();

  // Capacity of the line buffer, so tests can see what the reader holds.
  std::size_t capacity() const { return m_capacity; }

 private:
  void refill();
  std::string_view finishLine(char* begin, char* end);

  Source m_source;
  std::size_t m_blockSize;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_capacity = 0;
  std::size_t m_begin = 0;    // first byte of the line not handed out yet
  std::size_t m_scanned = 0;  // bytes from m_begin already known to hold no LF
  std::size_t m_end = 0;      // end of the bytes read
  bool m_atEnd = false;
  bool m_loneCr = false;
  bool m_cut = false;  // the line being read is longer than the caller wants  // the line being
                       // searched holds a CR that is not its end
};

}  // namespace netupdate::parse
