#include "parse/line_reader.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/testing/test_names.h"

namespace netupdate::parse {
namespace {

// Serves text in reads of at most chunk bytes.
LineReader::Source stringSource(const std::string& text, std::size_t chunk = 1 << 20) {
  auto offset = std::make_shared<std::size_t>(0);
  return [=](char* data, std::size_t size) {
    const std::size_t n = std::min({size, chunk, text.size() - *offset});
    text.copy(data, n, *offset);
    *offset += n;
    return n;
  };
}

std::vector<std::string> allLines(LineReader& reader) {
  std::vector<std::string> lines;
  std::string_view line;
  while (reader.next(line)) lines.emplace_back(line);
  return lines;
}

struct LineCase {
  const char* name;
  std::string input;
  std::vector<std::string> lines;
};

void PrintTo(const LineCase& c, std::ostream* out) {
  *out << c.name;
}

class LineEndTest : public ::testing::TestWithParam<LineCase> {};

// Every block size from one byte up, so that each line end also falls on a
// block boundary, a CR in one block and its LF in the next among them.
TEST_P(LineEndTest, SplitsAlikeForEveryBlockSize) {
  const LineCase& c = GetParam();
  for (std::size_t block = 1; block <= c.input.size() + 1; ++block) {
    LineReader reader(stringSource(c.input, block), block);
    EXPECT_EQ(allLines(reader), c.lines) << "block size " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, LineEndTest,
    ::testing::Values(
        LineCase{"empty input", "", {}}, LineCase{"LF", "a\nbc\n", {"a", "bc"}},
        LineCase{"CR LF", "a\r\nbc\r\n", {"a", "bc"}},
        LineCase{"lone CR is dropped and the line goes on", "a\rb\r\nc", {"ab", "c"}},
        LineCase{"CR before CR LF", "a\r\r\nb", {"a", "b"}},
        LineCase{"last line without line end", "a\nb", {"a", "b"}},
        LineCase{"last line only a CR", "a\n\r", {"a", ""}},
        LineCase{"empty lines are lines", "\n\r\n\n", {"", "", ""}},
        LineCase{"0x1A is an ordinary byte", "a\x1A\n\x1A\nb", {"a\x1A", "\x1A", "b"}},
        LineCase{"NUL is an ordinary byte", std::string("a\0b\n", 4), {std::string("a\0b", 3)}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

struct LimitCase {
  const char* name;
  std::string input;
  std::size_t limit;
  std::vector<std::string> lines;  // "<cut>" for a line passed over
};

void PrintTo(const LimitCase& c, std::ostream* out) {
  *out << c.name;
}

class LineLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LineLimitTest, LongerLinesArePassedOverWhole) {
  const LimitCase& c = GetParam();
  for (std::size_t block = 1; block <= c.input.size() + 1; ++block) {
    LineReader reader(stringSource(c.input, block), block);
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line, c.limit)) {
      lines.emplace_back(reader.lastLineCut() ? "<cut>" : std::string(line));
    }
    EXPECT_EQ(lines, c.lines) << "block size " << block;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Limits, LineLimitTest,
    ::testing::Values(
        LimitCase{"at the limit", "abcd\nabcde\n", 4, {"abcd", "<cut>"}},
        LimitCase{"CR LF does not count", "abcd\r\nabcde\r\nab", 4, {"abcd", "<cut>", "ab"}},
        LimitCase{"lone CRs do not count", "a\rb\rc\rd\r\n", 4, {"abcd"}},
        LimitCase{"cut last line without line end", "ab\nabcdefgh", 4, {"ab", "<cut>"}},
        LimitCase{"no limit", "abcdefgh\n", std::string_view::npos, {"abcdefgh"}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

TEST(LineReaderTest, LinesPassedOverAreNotHeld) {
  const std::string input = std::string(1 << 20, 'x') + "\nshort\n";
  LineReader reader(stringSource(input, 4096), 4096);
  std::string_view line;
  ASSERT_TRUE(reader.next(line, 36));
  EXPECT_TRUE(reader.lastLineCut());
  ASSERT_TRUE(reader.next(line, 36));
  EXPECT_EQ(line, "short");
  EXPECT_EQ(reader.capacity(), LineReader::kBlocksHeld * 4096);
}

TEST(LineReaderTest, HoldsNoMoreThanTheLongestLine) {
  const std::string longLine(1 << 20, 'x');
  std::string input;
  for (int i = 0; i < 64; ++i) input += "<td><p>365</p></td>\n";
  input += longLine + "\n";
  for (int i = 0; i < 20000; ++i) input += "<td><p>365</p></td>\n";

  LineReader reader(stringSource(input, 4096), 4096);
  std::string_view line;
  std::size_t longest = 0;
  while (reader.next(line)) longest = std::max(longest, line.size());
  EXPECT_EQ(longest, longLine.size());
  // Doubling may leave up to twice the line plus a block.
  EXPECT_LE(reader.capacity(), 2 * (longLine.size() + 4096));

  LineReader shortOnly(
      stringSource(input.substr(0, 64 * 20) + input.substr(input.size() - 20000 * 20), 4096), 4096);
  allLines(shortOnly);
  EXPECT_EQ(shortOnly.capacity(), LineReader::kBlocksHeld * 4096);
}

}  // namespace
}  // namespace netupdate::parse
