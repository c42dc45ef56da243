#include "common/codepage.h"

#include <gtest/gtest.h>

namespace netupdate::common {
namespace {

TEST(CodePage, HungarianLettersRoundTrip) {
  struct Case {
    std::string utf8;
    std::string ansi;
  };
  const Case cases[] = {
      {"Keverék", "Kever\xE9k"},
      {"Gázolaj", "G\xE1zolaj"},
      {"NAV ÁR", "NAV \xC1R"},
      {"őŐűŰ", "\xF5\xD5\xFB\xDB"},
      {"LPG autógáz", "LPG aut\xF3g\xE1z"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encodeAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(decodeAnsi(c.ansi), c.utf8) << c.utf8;
  }
}

TEST(CodePage, EveryByteDecodesToOneCharacterAndBack) {
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    EXPECT_EQ(encodeAnsi(decodeAnsi(byte)), byte) << value;
  }
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks) {
  EXPECT_EQ(encodeAnsi("a\u4E2Db"), "a?b");       // CJK: not in the code page
  EXPECT_EQ(encodeAnsi("a\xC3"), "a?");           // truncated sequence
  EXPECT_EQ(encodeAnsi("\xFF\xFEx"), "??x");      // bytes that never start UTF-8
  EXPECT_EQ(encodeAnsi("\xE2\x82\xAC"), "\x80");  // the euro sign has a byte of its own
}

}  // namespace
}  // namespace netupdate::common
