#include "common/format_settings.h"

#include <gtest/gtest.h>

#include <clocale>

#include "common/error.h"

namespace netupdate::common {
namespace {

TEST(FormatDate, PatternsAreCaseInsensitive) {
  struct Case {
    const char* pattern;
    Date date;
    const char* expected;
  };
  const Case cases[] = {
      {"yyyy.MM.dd", {2019, 1, 5}, "2019.01.05"},
      {"yyyy.MM.dd", {2018, 3, 1}, "2018.03.01"},
      {"YYYY_MM_DD", {2019, 1, 17}, "2019_01_17"},
      {"YYYY_MM_DD", {2018, 12, 31}, "2018_12_31"},
      {"yyyy MMMM dd, dddd", {2018, 3, 1}, "2018 Március 01, Csütörtök"},
      {"d/m/yy", {2018, 3, 9}, "9/3/18"},
      {"mmm ddd", {2018, 5, 6}, "máj. vasárnap"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatDate(c.pattern, c.date), c.expected) << c.pattern;
  }
}

TEST(ParseDate, ReadsByTheShortDatePattern) {
  EXPECT_EQ(parseDate("2018.12.01"), (Date{2018, 12, 1}));
  EXPECT_EQ(parseDate("2018.01.01"), (Date{2018, 1, 1}));
  EXPECT_EQ(parseDate(" 2018.3.1 "), (Date{2018, 3, 1}));
  EXPECT_EQ(parseDate("2020.02.29"), (Date{2020, 2, 29}));
}

TEST(ParseDate, RejectsTextThatIsNoDate) {
  for (const char* text : {"", "2018", "2018.12", "2018.13.01", "2018.02.29", "2018-12-01",
                           "2018.12.01.05", "x018.12.01", "2018..01", "99999999.1.1"}) {
    EXPECT_THROW(parseDate(text), Error) << text;
  }
}

TEST(ParseDate, FollowsTheOrderOfTheShortDatePattern) {
  FormatSettings dayFirst;
  dayFirst.shortDateFormat = "dd/MM/yyyy";
  dayFirst.dateSeparator = '/';
  EXPECT_EQ(parseDate("05/01/2019", dayFirst), (Date{2019, 1, 5}));
}

TEST(FormatFloat, Pictures) {
  struct Case {
    const char* pattern;
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {"###.00", 402, "402.00"},
      {"###.00", 0.5, ".50"},
      {"###.00", 0, ".00"},
      {"###.00", 405.37f, "405.37"},
      {"###.00", 405.004, "405.00"},
      {"###.00", 405.005, "405.01"},
      {"###.00", 0.125, ".13"},
      {"###.00", 99.999, "100.00"},
      {"###.00", 1234567, "1234567.00"},
      {"###.00", -3.5, "-3.50"},
      {"0.00", 0.5, "0.50"},
      {"#,##0", 1234567, "1,234,567"},
      {"#", 0.4, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(formatFloat(c.pattern, c.value), c.expected) << c.pattern << " " << c.value;
  }
}

TEST(StrToFloat, UsesTheDecimalPoint) {
  EXPECT_DOUBLE_EQ(strToFloat("405.37"), 405.37);
  EXPECT_DOUBLE_EQ(strToFloat(" -2.5 "), -2.5);
  EXPECT_DOUBLE_EQ(strToFloat("087"), 87);
  for (const char* text : {"", "abc", "405,37", "4 05", "."}) {
    EXPECT_THROW(strToFloat(text), Error) << text;
  }
}

// The window toolkit switches the C library to the user's locale; a Hungarian
// one writes "," for the decimal point. Our texts must not follow it.
TEST(FormatSettings, IgnoreTheCLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  if (std::setlocale(LC_NUMERIC, "hu_HU.UTF-8") == nullptr &&
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr) {
    GTEST_SKIP() << "no locale with a decimal comma installed";
  }
  EXPECT_EQ(formatFloat("###.00", 402.5), "402.50");
  EXPECT_DOUBLE_EQ(strToFloat("402.5"), 402.5);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

}  // namespace
}  // namespace netupdate::common
