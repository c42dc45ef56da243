#include "common/codepage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace netupdate::common {
namespace {

// Properties every single-byte ANSI code page has, whichever the system uses.

TEST(CodePage, EveryByteDecodesToOneCharacterAndBack) {
  for (int value = 0; value < 256; ++value) {
    const std::string byte(1, static_cast<char>(value));
    const std::string decoded = decodeAnsi(byte);
    EXPECT_TRUE(isUtf8(decoded)) << value;
    // One character: a lead byte and its continuation bytes only.
    int leads = 0;
    for (char c : decoded) leads += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    EXPECT_EQ(leads, 1) << value;
    EXPECT_EQ(encodeAnsi(decoded), byte) << value;
  }
}

TEST(CodePage, AsciiIsItself) {
  std::string ascii;
  for (int value = 0; value < 128; ++value) ascii += static_cast<char>(value);
  EXPECT_EQ(decodeAnsi(ascii), ascii);
  EXPECT_EQ(encodeAnsi(ascii), ascii);
}

TEST(CodePage, UnmappableAndMalformedBecomeQuestionMarks) {
  struct Case {
    const char* what;
    std::string utf8;
    std::string ansi;
  };
  const Case cases[] = {
      {"CJK: in no single-byte code page", "a\u4E2Db", "a?b"},
      {"truncated sequence", "a\xC3", "a?"},
      {"bytes that never start UTF-8", "\xFF\xFEx", "??x"},
      {"overlong slash", "\xC0\xAFx", "??x"},
      {"encoded surrogate", "\xED\xA0\x80", "???"},
      {"beyond Unicode", "\xF4\x90\x80\x80", "????"},
  };
  for (const Case& c : cases) EXPECT_EQ(encodeAnsi(c.utf8), c.ansi) << c.what;
}

TEST(CodePage, Utf8IsRecognisedOnlyWhenWellFormed) {
  struct Case {
    const char* what;
    std::string bytes;
    bool utf8;
  };
  const Case cases[] = {
      {"empty", "", true},
      {"ASCII", "C:/data/x.fdb", true},
      {"Hungarian letters", "/home/k\xC3\xB6nyvel\xC3\xA9s", true},
      {"four-byte character", "\xF0\x9F\x98\x80", true},
      {"the same letters in Windows-1250", "/home/k\xF6nyvel\xE9s", false},
      {"a capital A acute and a Windows-1250 S caron", "\xC1\x8A", false},
      {"truncated at the end", "ab\xE2\x82", false},
      {"encoded surrogate", "\xED\xB0\x80", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isUtf8(c.bytes), c.utf8) << c.what;
}

// Where the test run says which code page the system has (the Wine runs set
// a locale for that), the one in use must be that one.
TEST(CodePage, TheSystemsOwnWhereItIsSingleByte) {
  const char* expected = std::getenv("NETUPDATE_EXPECT_ANSI_CODE_PAGE");
  if (expected == nullptr) GTEST_SKIP() << "NETUPDATE_EXPECT_ANSI_CODE_PAGE not set";
  EXPECT_EQ(ansiCodePage(), static_cast<unsigned>(std::atoi(expected)));
}

class Windows1250 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ansiCodePage() != 1250) {
      GTEST_SKIP() << "the ANSI code page here is " << ansiCodePage()
                   << ", not 1250 (under Wine LC_ALL=hu_HU.UTF-8 gives 1250)";
    }
  }
};

TEST_F(Windows1250, HungarianLettersRoundTrip) {
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
      {"€", "\x80"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(encodeAnsi(c.utf8), c.ansi) << c.utf8;
    EXPECT_EQ(decodeAnsi(c.ansi), c.utf8) << c.utf8;
  }
}

TEST_F(Windows1250, UnassignedBytesAreTheirC1Controls) {
  for (const char byte : {'\x81', '\x83', '\x88', '\x90', '\x98'}) {
    std::string control;
    appendUtf8(control, static_cast<unsigned char>(byte));
    EXPECT_EQ(decodeAnsi(std::string(1, byte)), control) << static_cast<int>(byte);
  }
}

}  // namespace
}  // namespace netupdate::common
