#include "parse/feldolgoz.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "common/codepage.h"
#include "parse/input_file.h"
#include "parse/testing/feldolgoz_test_support.h"

namespace netupdate::parse {
namespace {

using common::THaviAr;
using common::THaviArak;
using testing::FeldolgozTest;
using testing::filledWith;
using testing::prices;

const std::string kSample = NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html";

std::string samplePage() {
  std::ifstream in(testing::fromUtf8(kSample), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

const THaviAr kSamplePrices[12] = {
    prices(366, 379, 388, 241), prices(371, 383, 392, 243), prices(362, 376, 386, 238),
    prices(368, 374, 391, 236), prices(377, 381, 399, 239), prices(392, 397, 411, 245),
    prices(389, 394, 408, 247), prices(385, 392, 404, 249), prices(391, 401, 410, 252),
    prices(398, 409, 417, 257), prices(396, 412, 415, 259), prices(374, 398, 396, 254)};

TEST_F(FeldolgozTest, ReadsAllPricesOfTheSamplePage) {
  THaviArak haviarak;
  Feldolgoz(kSample, haviarak);
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(haviarak[month], kSamplePrices[month - 1]) << month;
  }
}

// Users keep their books in folders named in Hungarian; the name must reach
// the file system whole, whatever the platform's own encoding of names.
TEST_F(FeldolgozTest, AccentedFolderAndFileNames) {
  const std::string page = write("Könyvelés/árak_őszi.html", samplePage());
  THaviArak haviarak;
  Feldolgoz(page, haviarak);
  EXPECT_EQ(haviarak[1], kSamplePrices[0]);
  EXPECT_EQ(haviarak[12], kSamplePrices[11]);
}

// The page as a server may also send it: LF only, UTF-8, no line end at the end.
TEST_F(FeldolgozTest, SamplePageInUtf8ReadsOnlyTheEntityMonths) {
  std::string utf8 = common::decodeAnsi(samplePage());
  std::erase(utf8, '\r');
  utf8.pop_back();
  THaviArak haviarak = filledWith(1);
  Feldolgoz(write("utf8.html", utf8), haviarak);
  // The sample names February, March, June and October with accented letters,
  // which do not match in UTF-8; their rows keep what they held.
  for (int month : {2, 3, 6, 10}) EXPECT_EQ(haviarak[month], prices(1, 1, 1, 1)) << month;
  EXPECT_EQ(haviarak[1], prices(366, 379, 388, 241));
  EXPECT_EQ(haviarak[12], prices(374, 398, 396, 254));
}

TEST_F(FeldolgozTest, PathsThatNameNoFileChangeNothing) {
  const std::string file = write("page.html", "x");
  for (const std::string& path : {dir() + "/missing.html", dir(), file + "/page.html",
                                  dir() + "/gone/page.html", std::string()}) {
    THaviArak haviarak = filledWith(7);
    EXPECT_NO_THROW(Feldolgoz(path, haviarak)) << path;
    EXPECT_EQ(haviarak, filledWith(7)) << path;
  }
}

// What the parser skips in silence, opening reports in the platform's codes,
// which are the same on every platform.
TEST_F(FeldolgozTest, OpenFailuresByCode) {
  const std::string file = write("page.html", "x");
  const struct {
    std::string path;
    int code;
    std::string message;
  } cases[] = {
      {dir() + "/missing.html", 2, "The specified file was not found"},
      {file + "/page.html", 3, "Invalid file name - " + file + "/page.html"},
      {dir(), 5, "File access denied"},
  };
  for (const auto& c : cases) {
    try {
      InputFile opened(c.path);
      ADD_FAILURE() << "opened " << c.path;
    } catch (const EInOutError& error) {
      EXPECT_EQ(error.code(), c.code) << c.path;
      EXPECT_EQ(error.what(), c.message) << c.path;
    }
  }
}

TEST_F(FeldolgozTest, Ctrl0x1AIsAnOrdinaryCharacter) {
  THaviArak haviarak;
  Feldolgoz(write("page.html",
                  "<div class=\"CikkArticleTableBorder\">\n\x1A\n<p>janu&aacute;r 3\x1A"
                  "65 379\x1A\n"
                  "\x1A<p>december 371 242</p>\n"),
            haviarak);
  EXPECT_EQ(haviarak[1], prices(365, 379, 0, 0));
  EXPECT_EQ(haviarak[12], prices(371, 242, 0, 0));
}

// Lines far longer than any read block, before, inside and after the table.
TEST_F(FeldolgozTest, VeryLongLines) {
  const std::size_t longSize = 24u << 20;
  std::string page(longSize, 'x');
  page += "\n<div class=\"CikkArticleTableBorder\">\n<p>febru&aacute;r ";
  page += std::string(longSize, ' ');
  page += "365 379 371";
  page += std::string(longSize, ';');
  page += "242 111 </p>\n";
  page += std::string(longSize, '9');
  THaviArak haviarak;
  Feldolgoz(write("long.html", page), haviarak);
  EXPECT_EQ(haviarak[2], prices(365, 379, 371, 242));
}

TEST(EInOutErrorTest, MessagesByCode) {
  const struct {
    int code;
    const char* message;
  } cases[] = {
      {2, "The specified file was not found"},
      {3, "Invalid file name - /x/page.html"},
      {4, "Too many open files"},
      {5, "File access denied"},
      {32, "I/O error 32"},
      {1117, "I/O error 1117"},
  };
  for (const auto& c : cases) {
    const EInOutError error(c.code, "/x/page.html");
    EXPECT_EQ(error.code(), c.code);
    EXPECT_STREQ(error.what(), c.message) << c.code;
  }
}

}  // namespace
}  // namespace netupdate::parse
