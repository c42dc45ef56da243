#include "parse/price_scanner.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "common/codepage.h"
#include "common/testing/test_names.h"
#include "parse/line_reader.h"
#include "parse/testing/literal_scanner.h"

namespace netupdate::parse {
namespace {

using common::THaviAr;
using common::THaviArak;

const std::string kStart = "<div class=\"CikkArticleTableBorder\">";
const std::string kHeading2017 =
    "<p align=\"center\">&nbsp;<strong> 2017. &eacute;v</strong><strong></strong>";

// Prices in the order they stand on the page, which is not the field order.
THaviAr prices(float esz95, float gazolaj, float keverek, float lpg) {
  return THaviAr{esz95, keverek, gazolaj, lpg};
}

std::string row(const std::string& month, const std::string& numbers = "365 379 371 242") {
  return "<tr><td class=\"style9\"><p>" + month + "</p></td><td><p>" + numbers + "</p></td></tr>";
}

const std::string kJanuary = "janu&aacute;r";
const std::string kFebruary = "febru&aacute;r";
const std::string kMarch = "m&aacute;rcius";
const THaviAr kFull = prices(365, 379, 371, 242);

struct Case {
  const char* name;
  std::vector<std::string> lines;
  std::vector<std::pair<int, THaviAr>> expected;  // rows not listed stay zero
};

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

THaviArak scan(const std::vector<std::string>& lines, THaviArak haviarak = {}) {
  PriceScanner scanner(haviarak);
  for (const std::string& line : lines) scanner.line(line);
  return haviarak;
}

THaviArak expectedTable(const std::vector<std::pair<int, THaviAr>>& rows) {
  THaviArak table;
  for (const auto& [month, values] : rows) table[month] = values;
  return table;
}

class RuleTest : public ::testing::TestWithParam<Case> {};

TEST_P(RuleTest, StoresExactlyTheExpectedPrices) {
  const Case& c = GetParam();
  const THaviArak got = scan(c.lines);
  const THaviArak want = expectedTable(c.expected);
  for (int month = 1; month <= 12; ++month) {
    EXPECT_EQ(got[month], want[month]) << "month " << month;
  }
}

INSTANTIATE_TEST_SUITE_P(
    SectionMarkers, RuleTest,
    ::testing::Values(
        Case{"no start line", {row(kFebruary)}, {}},
        Case{"start line with a trailing blank", {kStart + " ", row(kFebruary)}, {}},
        Case{"start line in other case",
             {"<DIV class=\"CikkArticleTableBorder\">", row(kFebruary)},
             {}},
        Case{"start tag with a further attribute",
             {"<div class=\"CikkArticleTableBorder\" id=\"t\">", row(kFebruary)},
             {}},
        Case{"start line opens the table", {kStart, row(kFebruary)}, {{2, kFull}}},
        Case{"closing div ends the table",
             {kStart, row(kJanuary), "</div>", row(kFebruary)},
             {{1, kFull}}},
        Case{"previous year's heading ends the table",
             {kStart, row(kJanuary), kHeading2017, row(kFebruary)},
             {{1, kFull}}},
        Case{
            "this year's heading does not end it",
            {kStart, "<p align=\"center\">&nbsp;<strong> 2018. &eacute;v</strong><strong></strong>",
             row(kFebruary)},
            {{2, kFull}}},
        Case{"closing div with anything else on the line does not end it",
             {kStart, " </div>", "</div> ", "</table></div>", row(kFebruary)},
             {{2, kFull}}},
        Case{"end marker before the start has no effect",
             {"</div>", kHeading2017, kStart, row(kFebruary)},
             {{2, kFull}}},
        Case{"a second table after the end is ignored",
             {kStart, "</div>", kStart, row(kFebruary)},
             {}},
        Case{"open cell does not outlive the table",
             {kStart, "</td><td align=\"center\">", "</div>", kJanuary + " 365 379 371 242"},
             {}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Cells, RuleTest,
    ::testing::Values(
        Case{"line outside a cell is not examined", {kStart, kJanuary + " 365 379 371 242"}, {}},
        Case{"<p> opens a cell that stays open",
             {kStart, "<p>" + kJanuary, "365 379", "371 242"},
             {{1, kFull}}},
        Case{"other paragraph tags open nothing",
             {kStart, "<P>" + kJanuary + " 365 379 371 242",
              "<p class=\"x\">" + kJanuary + " 365 379 371 242",
              "<p align=\"center\">" + kJanuary + " 365 379 371 242"},
             {}},
        Case{"centred cell spans lines until one holds /p>",
             {kStart, "<td><p>" + kMarch + "</p>", "</td><td align=\"center\">", "365", "379 Ft",
              "371</p>", "242"},
             {{3, prices(365, 379, 371, 0)}}},
        Case{"a lone closer with no cell open is not examined",
             {kStart, "<p>" + kJanuary + "</p>", "365</p>", "<p>379</p>"},
             {{1, prices(379, 0, 0, 0)}}},
        Case{"closer before opener on one line: examined, then closed",
             {kStart, "<p>" + kJanuary + "</p>", "x</p><p>365", "379"},
             {{1, prices(365, 0, 0, 0)}}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Months, RuleTest,
    ::testing::Values(Case{"both forms of every accented month",
                           {kStart,
                            row("janu&aacute;r", "101"),
                            row(common::encodeAnsi("január"), "102"),
                            row("febru&aacute;r", "201"),
                            row(common::encodeAnsi("február"), "202"),
                            row("m&aacute;rcius", "301"),
                            row(common::encodeAnsi("március"), "302"),
                            row("&aacute;prilis", "401"),
                            row(common::encodeAnsi("április"), "402"),
                            row("m&aacute;jus", "501"),
                            row(common::encodeAnsi("május"), "502"),
                            row("j&uacute;nius", "601"),
                            row(common::encodeAnsi("június"), "602"),
                            row("j&uacute;lius", "701"),
                            row(common::encodeAnsi("július"), "702"),
                            row("augusztus", "801"),
                            row("szeptember", "901"),
                            row("okt&oacute;ber", "101"),
                            row(common::encodeAnsi("október"), "102"),
                            row("november", "111"),
                            row("december", "121")},
                           {{1, prices(102, 0, 0, 0)},
                            {2, prices(202, 0, 0, 0)},
                            {3, prices(302, 0, 0, 0)},
                            {4, prices(402, 0, 0, 0)},
                            {5, prices(502, 0, 0, 0)},
                            {6, prices(602, 0, 0, 0)},
                            {7, prices(702, 0, 0, 0)},
                            {8, prices(801, 0, 0, 0)},
                            {9, prices(901, 0, 0, 0)},
                            {10, prices(102, 0, 0, 0)},
                            {11, prices(111, 0, 0, 0)},
                            {12, prices(121, 0, 0, 0)}}},
                      Case{"the higher month wins, wherever it stands",
                           {kStart, row(common::encodeAnsi("január") + " december", "111"),
                            row("december " + kJanuary, "222"),
                            row("augusztus j&uacute;lius", "333")},
                           {{12, prices(222, 0, 0, 0)}, {8, prices(333, 0, 0, 0)}}},
                      Case{"names in other case are not months",
                           {kStart, row(common::encodeAnsi("Január")), row("Janu&aacute;r"),
                            row("AUGUSZTUS"), row("janu&Aacute;r")},
                           {}},
                      Case{"UTF-8 accented forms are not recognised, entity forms are",
                           {kStart, row("január"), row("október"), row("j&uacute;nius")},
                           {{6, kFull}}},
                      Case{"a month name cut short is not recognised",
                           {kStart, row("janu&aacute"), row("szeptembe"), row("&aacute;prili")},
                           {}},
                      Case{"the selected month carries over to later lines",
                           {kStart, "<p>" + kFebruary + "</p>", "<p>365</p>", "<tr>",
                            "<p>379 371</p>", "<p>242</p>"},
                           {{2, kFull}}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Digits, RuleTest,
    ::testing::Values(
        Case{"digits join across other characters",
             {kStart, row(kJanuary,
                          "3 6 5|3<b>7</b>9|37.1|2\x1A"
                          "4\x1A"
                          "2")},
             {{1, kFull}}},
        Case{"a long run is cut into threes from its start",
             {kStart, row(kJanuary, "3650 Ft, 12")},
             {{1, prices(365, 12, 0, 0)}}},
        Case{"a year on the line is read as digits",
             {kStart, row(kJanuary, "2018. 36")},
             {{1, prices(201, 836, 0, 0)}}},
        Case{"one or two digits at the line end are dropped",
             {kStart, "<p>" + kJanuary + " 36", "5", "79</p>"},
             {}},
        Case{"leading zeros", {kStart, row(kJanuary, "087 009 000")}, {{1, prices(87, 9, 0, 0)}}},
        Case{"twelve digits in a row are four prices",
             {kStart, row(kJanuary, "365379371242")},
             {{1, kFull}}},
        Case{"only the 9 of style9 is skipped",
             {kStart, row(kJanuary, "style99 Style9 style9 12")},
             {{1, prices(991, 0, 0, 0)}}},
        Case{"the replacement is not applied to its own result",
             {kStart, row(kJanuary, "style9tyle9 12")},
             {{1, prices(912, 0, 0, 0)}}},
        Case{"a numeric character reference gives its digits",
             {kStart, row(kJanuary, "&#225;")},
             {{1, prices(225, 0, 0, 0)}}},
        Case{"only ASCII digits count",
             {kStart, row(kJanuary, "\xEF\xBC\x93\xEF\xBC\x96\xEF\xBC\x95 \xB2\xB3\xB9 365")},
             {{1, prices(365, 0, 0, 0)}}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Count, RuleTest,
    ::testing::Values(Case{"worked example",
                           {kStart, "<table border=\"1\">",
                            "<tr><td class=\"style9\"><p>febru&aacute;r</p></td>",
                            "<td><p>365</p></td>", "</td><td align=\"center\">", "379 Ft</p>",
                            "<td><p>371</p></td>", "<td><p>242</p></td><td><p>2018</p></td>",
                            "<tr><td><p>999</p></td>", "</div>", "<p>m&aacute;rcius</p><p>111</p>"},
                           {{2, kFull}}},
                      Case{"after the fourth price nothing is read until a month is named",
                           {kStart, row(kJanuary, "365 379 371 242 111"), "<p>222 333</p>",
                            row(kFebruary, "444")},
                           {{1, kFull}, {2, prices(444, 0, 0, 0)}}},
                      Case{"a month with three prices does not pass its count on",
                           {kStart, row(kJanuary, "365 379 371"), row(kFebruary), row(kMarch)},
                           {{1, prices(365, 379, 371, 0)}, {2, kFull}, {3, kFull}}},
                      Case{"naming the month again starts its row again",
                           {kStart, row(kJanuary, "111 222"), row(kJanuary, "365 379 371 242")},
                           {{1, kFull}}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

TEST(PriceScannerTest, CellsTheTableLacksKeepTheirValues) {
  THaviArak before;
  for (int month = 1; month <= 12; ++month) before[month] = prices(1, 2, 3, 4);
  const THaviArak after = scan({kStart, row(kJanuary, "365 379 371")}, before);
  EXPECT_EQ(after[1], prices(365, 379, 371, 4));
  for (int month = 2; month <= 12; ++month) EXPECT_EQ(after[month], prices(1, 2, 3, 4));
}

// Random pages built from the pieces the rules care about, read by the
// optimised path (blocks, line splitting, anchored month search) and by the
// literal transcription of the rules; the two must agree everywhere.
TEST(PriceScannerTest, AgreesWithTheLiteralRulesOnRandomPages) {
  const std::vector<std::string> pieces = {kStart,
                                           "</div>",
                                           kHeading2017,
                                           "<p>",
                                           "</p>",
                                           "/p>",
                                           "</td><td align=\"center\"",
                                           "<P>",
                                           "janu&aacute;r",
                                           common::encodeAnsi("március"),
                                           "&aacute;prilis",
                                           common::encodeAnsi("április"),
                                           "december",
                                           "szeptember",
                                           "okt&oacute;ber",
                                           "október",
                                           "augusztus",
                                           "style9",
                                           "style",
                                           "9",
                                           "365",
                                           "12",
                                           "0",
                                           "7",
                                           " ",
                                           "<b>",
                                           "\n",
                                           "\r\n",
                                           "\r",
                                           "\n\n",
                                           "\x1A",
                                           "&#225;",
                                           "x"};
  std::mt19937 random(20180101);
  for (int page = 0; page < 3000; ++page) {
    std::string bytes;
    // Most pages should reach the table: begin them with the start line.
    if (page % 4 != 0) bytes = kStart + "\n";
    const int length = static_cast<int>(random() % 60);
    for (int i = 0; i < length; ++i) bytes += pieces[random() % pieces.size()];

    THaviArak want;
    testing::literalParse(bytes, want);

    THaviArak got;
    const std::size_t blockSize = 1 + random() % 16;
    std::size_t offset = 0;
    LineReader reader(
        [&](char* data, std::size_t size) {
          const std::size_t n = std::min(size, bytes.size() - offset);
          bytes.copy(data, n, offset);
          offset += n;
          return n;
        },
        blockSize);
    scanPage(reader, got);
    ASSERT_EQ(got, want) << "page " << page << ":\n" << bytes;
  }
}

// Whichever read fails, the error reaches the caller and the months read
// before it keep their new prices while the others keep their old ones.
TEST(PriceScannerTest, ReadFailureKeepsThePricesStoredBeforeIt) {
  std::string page = kStart + "\r\n";
  for (const char* month : {"janu&aacute;r", "febru&aacute;r", "m&aacute;rcius", "augusztus"}) {
    page += row(month) + "\r\n";
  }
  page += "</div>\r\ntrailing text that must still be read\r\n";
  int lastMonthsRead = 0;
  for (int failAt = 1;; ++failAt) {
    int reads = 0;
    std::size_t offset = 0;
    LineReader reader(
        [&](char* data, std::size_t size) -> std::size_t {
          if (++reads == failAt) throw std::runtime_error("read failed");
          const std::size_t n = std::min<std::size_t>({size, 16, page.size() - offset});
          page.copy(data, n, offset);
          offset += n;
          return n;
        },
        16);
    THaviArak haviarak;
    for (int month = 1; month <= 12; ++month) haviarak[month] = prices(1, 2, 3, 4);
    bool failed = false;
    try {
      scanPage(reader, haviarak);
    } catch (const std::runtime_error&) {
      failed = true;
    }
    int monthsRead = 0;
    for (int month : {1, 2, 3, 8}) {
      if (haviarak[month] == kFull) {
        ++monthsRead;
      } else {
        EXPECT_EQ(haviarak[month], prices(1, 2, 3, 4)) << "fail at " << failAt << ", " << month;
      }
    }
    EXPECT_GE(monthsRead, lastMonthsRead);
    lastMonthsRead = monthsRead;
    if (!failed) {
      EXPECT_EQ(monthsRead, 4);
      EXPECT_EQ(offset, page.size()) << "the page was not read to its end";
      break;
    }
  }
  EXPECT_EQ(lastMonthsRead, 4);
}

}  // namespace
}  // namespace netupdate::parse
