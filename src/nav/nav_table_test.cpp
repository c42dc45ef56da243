#include "nav/nav_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

#include "common/testing/test_names.h"

namespace netupdate::nav {
namespace {

using Cells = std::vector<std::string>;

std::string row(const Cells& cells) {
  std::string text = "<tr>";
  for (const std::string& cell : cells) text += "\n  <td>" + cell + "</td>";
  return text + "\n</tr>\n";
}

std::string table(const std::vector<Cells>& rows) {
  std::string text = "<table class=\"table\" style=\"width:100%\"><tbody>\n";
  for (const Cells& cells : rows) text += row(cells);
  return text + "</tbody></table>\n";
}

std::string page(const std::string& body) {
  return "<!DOCTYPE html><html lang=\"hu\"><head><meta charset=\"utf-8\">"
         "<title>Üzemanyagárak</title><script>var t = '<table>';</script></head><body>"
         "<nav><a href=\"/ugyfeliranytu/uzemanyag\">Üzemanyag</a></nav>\n" +
         body + "</body></html>\n";
}

// The page data's form: the markup as a JSON string, HTML-escaped on top.
std::string jsonHtmlEscaped(const std::string& markup) {
  std::string json;
  const auto hex4 = [&](std::uint32_t unit) {
    static const char* const kDigits = "0123456789abcdef";
    json += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) json += kDigits[(unit >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < markup.size();) {
    const auto lead = static_cast<unsigned char>(markup[i]);
    if (lead < 0x80) {
      if (lead == '"' || lead == '\\' || lead == '/') {
        json += '\\';
        json += markup[i];
      } else if (lead == '\n') {
        json += "\\n";
      } else {
        json += markup[i];
      }
      ++i;
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::uint32_t codePoint = lead & (lead >= 0xF0 ? 0x07u : lead >= 0xE0 ? 0x0Fu : 0x1Fu);
    for (std::size_t k = 1; k < length; ++k) {
      codePoint = (codePoint << 6) | (static_cast<unsigned char>(markup[i + k]) & 0x3Fu);
    }
    if (codePoint >= 0x10000) {
      hex4(0xD800 + ((codePoint - 0x10000) >> 10));
      hex4(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
    } else {
      hex4(codePoint);
    }
    i += length;
  }
  std::string html;
  for (const char c : json) {
    switch (c) {
      case '&':
        html += "&amp;";
        break;
      case '<':
        html += "&lt;";
        break;
      case '>':
        html += "&gt;";
        break;
      case '"':
        html += "&quot;";
        break;
      default:
        html += c;
    }
  }
  return html;
}

std::string inPageData(const std::string& markup) {
  return "<script id=\"page-data\" type=\"application/json\">{&quot;title&quot;:&quot;2026&quot;,"
         "&quot;body&quot;:&quot;" +
         jsonHtmlEscaped(markup) + "&quot;}</script>\n";
}

std::string inAttribute(const std::string& markup) {
  return "<div id=\"app\" data-page=\"{&quot;body&quot;:&quot;" + jsonHtmlEscaped(markup) +
         "&quot;}\"></div><p class=\"x\">&lt;table&gt; is a word here</p>\n";
}

// The table, one line per column and per month found; a month not found
// must hold no price at all.
std::string rendered(const NavTable& table) {
  std::string text = std::to_string(table.year) + "\n";
  for (const NavColumn& column : table.columns) {
    const char* pricing = pricingKey(column.pricing);
    text += std::string(fuelKey(column.fuel)) + " " + (pricing ? pricing : "none") + " " +
            column.unit + " [" + column.label + "]\n";
  }
  for (int month = 1; month <= 12; ++month) {
    const auto& prices = table.months[static_cast<std::size_t>(month - 1)];
    if (prices.size() != table.columns.size()) return text + "wrong width\n";
    const bool found = table.monthOnPage[static_cast<std::size_t>(month - 1)];
    std::string line = std::to_string(month) + ":";
    bool any = false;
    for (const auto& price : prices) {
      any = any || price.has_value();
      std::ostringstream number;
      number << std::setprecision(12);
      if (price) number << *price;
      line += " " + (price ? number.str() : "-");
    }
    if (found) text += line + "\n";
    if (!found && any) text += std::to_string(month) + " holds prices but was not found\n";
  }
  std::string months;
  for (const int month : table.monthsFound()) months += " " + std::to_string(month);
  return text + "found:" + months + "\n";
}

const std::string kEsz95 = "<strong>Ólmozatlan motorbenzin</strong><br><strong>ESZ-95</strong>";

const std::string k2018 = table({
    {"<p><strong>2018.év</strong></p>", kEsz95 + "<br>(Ft/l)",
     "<strong>G&aacute;zolaj</strong><br/>(Ft/l)", "<span>Keverék</span><br><em>(Ft/l)</em>",
     "<strong>LPG aut&oacute;g&aacute;z</strong> <br />(Ft/l)"},
    {"<p>december</p>", "<p>371</p>", "<p>389</p>", "<p>392</p>", "<p>243</p>"},
    {"november", "385", "399", "401", "246"},
    {"<strong>Október</strong>", "<p>392&nbsp</p>", "411", "408", "247"},
    {"szeptember", "389", "412", "406", "249"},
    {"augusztus", "385", "394", "404", "245"},
    {"j&uacute;lius", "389", "394", "408", "247"},
    {"június", "392", "397", "411", "245"},
    {"május", "377", "381", "399", "239"},
    {"&aacute;prilis", "368", "374", "391", "236"},
    {"MÁRCIUS", "362", "376", "386", "238"},
    {"február", "371", "383", "392", "243"},
    {"janu&#225;r", "366", "379", "388", "241"},
});

const std::string k2018Rendered =
    "2018\n"
    "esz95 none Ft/l [Ólmozatlan motorbenzin ESZ-95 (Ft/l)]\n"
    "gazolaj none Ft/l [Gázolaj (Ft/l)]\n"
    "keverek none Ft/l [Keverék (Ft/l)]\n"
    "lpg none Ft/l [LPG autógáz (Ft/l)]\n"
    "1: 366 379 388 241\n2: 371 383 392 243\n3: 362 376 386 238\n4: 368 374 391 236\n"
    "5: 377 381 399 239\n6: 392 397 411 245\n7: 389 394 408 247\n8: 385 394 404 245\n"
    "9: 389 412 406 249\n10: 392 411 408 247\n11: 385 399 401 246\n12: 371 389 392 243\n"
    "found: 1 2 3 4 5 6 7 8 9 10 11 12\n";

// A capped and a market column for two fuels; the cap ended in December.
const std::string k2022 = table({
    {"2022.év&nbsp;", kEsz95 + "<br>(hatósági árszabás)<br>(Ft/l)",
     kEsz95 + "<br>(piaci árszabás)<br>(Ft/l)", "Gázolaj<br>(hatósági árszabás)<br>(Ft/l)",
     "Gázolaj<br>(piaci árszabás)<br>(Ft/l)", "Keverék (Ft/l)", "LPG autógáz (Ft/l)"},
    {"december", "-", "<p>598,5</p>", "<p> </p>", "<p>642.25</p>", "1&nbsp;012", ""},
    {"november", "480", "<p>720</p>", "480", "<p>735</p>", "690", "330 Ft"},
});

const std::string k2022Rendered =
    "2022\n"
    "esz95 capped Ft/l [Ólmozatlan motorbenzin ESZ-95 (hatósági árszabás) (Ft/l)]\n"
    "esz95 market Ft/l [Ólmozatlan motorbenzin ESZ-95 (piaci árszabás) (Ft/l)]\n"
    "gazolaj capped Ft/l [Gázolaj (hatósági árszabás) (Ft/l)]\n"
    "gazolaj market Ft/l [Gázolaj (piaci árszabás) (Ft/l)]\n"
    "keverek none Ft/l [Keverék (Ft/l)]\n"
    "lpg none Ft/l [LPG autógáz (Ft/l)]\n"
    "11: 480 720 480 735 690 330\n"
    "12: - 598.5 - 642.25 1012 -\n"
    "found: 11 12\n";

// Only January published so far; a protected price and CNG by the kilogram.
const std::string k2026 = table({
    {"<p>2026.év</p>", kEsz95 + " <br>(védett ár)<br>(Ft/l)",
     kEsz95 + "<br>(piaci árszabás)<br>(Ft/l)", "<em>GÁZOLAJ</em><br>(VÉDETT ÁR)<br>(Ft/l)",
     "Gázolaj<br>(Piaci árszabás)<br>(Ft/l)", "Keverék<br>(Ft/l)", "LPG autógáz<br>(Ft/l)",
     "CNG autógáz<br>(Ft/kg)"},
    {"január", "<p>572</p>", "<p>589</p>", "<p>578</p>", "<p>601</p>", "<p>612</p>", "<p>318</p>",
     "<p>&#x35;45</p>"},
});

const std::string k2026Rendered =
    "2026\n"
    "esz95 capped Ft/l [Ólmozatlan motorbenzin ESZ-95 (védett ár) (Ft/l)]\n"
    "esz95 market Ft/l [Ólmozatlan motorbenzin ESZ-95 (piaci árszabás) (Ft/l)]\n"
    "gazolaj capped Ft/l [GÁZOLAJ (VÉDETT ÁR) (Ft/l)]\n"
    "gazolaj market Ft/l [Gázolaj (Piaci árszabás) (Ft/l)]\n"
    "keverek none Ft/l [Keverék (Ft/l)]\n"
    "lpg none Ft/l [LPG autógáz (Ft/l)]\n"
    "cng none Ft/kg [CNG autógáz (Ft/kg)]\n"
    "1: 572 589 578 601 612 318 545\n"
    "found: 1\n";

// The 2025 page closes with the previous year's December; February and
// March are missing, and a row short of cells has no price in the rest.
const std::string k2025 = table({
    {"2025.év", "Ólmozatlan motorbenzin ESZ-95 (Ft/l)", "Gázolaj (Ft/l)", "Keverék (Ft/l)",
     "LPG autógáz (Ft/l)"},
    {"december", "571", "588", "599", "322"},
    {"április", "590", "604", "615", "329"},
    {"január", "<p>-</p>", "612"},
    {"&nbsp;", "", "<p> </p>", "", ""},
    {"december <br>(2024)", "999", "999", "999", "999"},
});

const std::string k2025Rendered =
    "2025\n"
    "esz95 none Ft/l [Ólmozatlan motorbenzin ESZ-95 (Ft/l)]\n"
    "gazolaj none Ft/l [Gázolaj (Ft/l)]\n"
    "keverek none Ft/l [Keverék (Ft/l)]\n"
    "lpg none Ft/l [LPG autógáz (Ft/l)]\n"
    "1: - 612 - -\n"
    "4: 590 604 615 329\n"
    "12: 571 588 599 322\n"
    "found: 1 4 12\n";

// The page data's shape as NAV's site has it, written by hand: HTML escaping on
// top of JSON's, a surrogate pair and an escaped reference in a cell.
const std::string kHandEscaped =
    "<div data-x=\"{&quot;content&quot;:&quot;&lt;table class=\\&quot;nav\\&quot;&gt;\\n"
    "&lt;tbody&gt;&lt;tr&gt;&lt;td&gt;2026.\\u00e9v&lt;\\/td&gt;&lt;td&gt;G\\u00e1zolaj "
    "(Ft\\/l)&lt;\\/td&gt;&lt;td&gt;LPG aut\\u00f3g\\u00e1z "
    "\\ud83d\\ude97\\r\\n(Ft\\/l)&lt;\\/td&gt;"
    "&lt;\\/tr&gt;&lt;tr&gt;&lt;td&gt;janu&amp;aacute;r&lt;\\/td&gt;&lt;td&gt;&lt;p&gt;612&lt;\\/"
    "p&gt;"
    "&lt;\\/td&gt;&lt;td&gt;-&lt;\\/td&gt;&lt;\\/tr&gt;&lt;\\/tbody&gt;&lt;\\/table&gt;"
    "&quot;}\">";

struct ReadCase {
  const char* name;
  std::string page;
  std::optional<int> year;
  std::string rendered;
};

void PrintTo(const ReadCase& c, std::ostream* out) {
  *out << c.name;
}

class TableReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(TableReadTest, GivesTheYearsTable) {
  const ReadCase& c = GetParam();
  NavTable table;
  try {
    table = readNavTable(c.page, c.year);
  } catch (const ENavTableError& error) {
    FAIL() << error.what();
  }
  EXPECT_EQ(rendered(table), c.rendered);
}

const std::string kLayoutAround2026 =
    "<TABLE><TR><TD class=\"layout\"><p>Menü</p>\n" + k2026 + "</TD><TD>Hírek</TD></TR></TABLE>";

INSTANTIATE_TEST_SUITE_P(
    Layouts, TableReadTest,
    ::testing::Values(
        ReadCase{"four fuels as in 2018", page(k2018), 2018, k2018Rendered},
        ReadCase{"capped and market pairs of 2022", page(k2022), 2022, k2022Rendered},
        ReadCase{"protected price and CNG of 2026", page(k2026), 2026, k2026Rendered},
        ReadCase{"previous year's December of 2025, months missing", page(k2025), 2025,
                 k2025Rendered},
        ReadCase{"page's own year", page(k2022), std::nullopt, k2022Rendered},
        ReadCase{"year asked for after another year's table", page(k2025 + k2026), 2026,
                 k2026Rendered},
        ReadCase{"inside a layout table, after tables without a year",
                 page(table({{"Hírek"}, {"x"}}) + kLayoutAround2026), std::nullopt, k2026Rendered},
        ReadCase{"comments, quoted '>' and upper-case tags",
                 page("<!-- <table><tr><td>2026.év</td></tr></table> -->\n" +
                      std::string("<TABLE data-note=\"a > b\"><TBODY>") +
                      row({"2025.év", "<A HREF=\"x\">Gázolaj</A> (Ft/l)"}) +
                      "<TR><TD>Május<TD>612</TD></TR></TBODY></TABLE>"),
                 2025, "2025\ngazolaj none Ft/l [Gázolaj (Ft/l)]\n5: 612\nfound: 5\n"},
        ReadCase{"page data in a script, JSON and HTML escaped", page(inPageData(k2026)), 2026,
                 k2026Rendered},
        ReadCase{"page data in an attribute beside plain tables of other years",
                 page(k2025 + inAttribute(k2018 + k2022)), 2022, k2022Rendered},
        ReadCase{"page data escaped by hand", page(kHandEscaped), std::nullopt,
                 "2026\ngazolaj none Ft/l [Gázolaj (Ft/l)]\n"
                 "lpg none Ft/l [LPG autógáz \U0001F697 (Ft/l)]\n1: 612 -\nfound: 1\n"}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

struct RefusalCase {
  const char* name;
  std::string page;
  std::optional<int> year;
  std::string message;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

class TableRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(TableRefusalTest, SaysWhy) {
  const RefusalCase& c = GetParam();
  try {
    readNavTable(c.page, c.year);
    FAIL() << "read without a refusal";
  } catch (const ENavTableError& error) {
    EXPECT_EQ(error.what(), c.message);
  }
}

const Cells kHeader = {"2026.év", "ESZ-95 (Ft/l)", "Gázolaj (Ft/l)"};

std::string with(const std::vector<Cells>& rows, const Cells& header = kHeader) {
  std::vector<Cells> all{header};
  all.insert(all.end(), rows.begin(), rows.end());
  return page(table(all));
}

std::string nested(std::size_t depth) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += "<table><tr><td>";
  return page(text + "2026.év");
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, TableRefusalTest,
    ::testing::Values(
        RefusalCase{"no table", page("<p>2026</p>"), 2026,
                    "The page has no table for 2026 (no table whose first cell names a year)."},
        RefusalCase{"another year's tables only", page(k2025 + k2022), 2026,
                    "The page has no table for 2026, only one for 2025."},
        RefusalCase{"no year at all", page(table({{"Hónap", "Gázolaj"}})), std::nullopt,
                    "The page has no table whose first cell names a year."},
        RefusalCase{"a month twice", with({{"március", "1", "2"}, {"Március", "3", "4"}}), 2026,
                    "The table for 2026 lists március twice."},
        RefusalCase{"colspan",
                    page("<table><tr><td>2026.év</td><td colspan=\"2\">Gázolaj</td></tr></table>"),
                    2026, "The table for 2026 has cells joined with colspan; it is not read."},
        RefusalCase{"rowspan",
                    page("<table><tr><td>2026.év</td><td>LPG</td></tr>"
                         "<tr><td ROWSPAN=2>január</td><td>1</td></tr></table>"),
                    2026, "The table for 2026 has cells joined with rowspan; it is not read."},
        RefusalCase{"a word for a price", with({{"május", "612", "n.a."}}), 2026,
                    "The table for 2026: the price of május in column 3 (\"Gázolaj (Ft/l)\") is "
                    "\"n.a.\", neither a number, \"-\" nor empty."},
        RefusalCase{"blanks that group no thousands", with({{"május", "61 2", "1"}}), 2026,
                    "The table for 2026: the price of május in column 2 (\"ESZ-95 (Ft/l)\") is "
                    "\"61 2\", neither a number, \"-\" nor empty."},
        RefusalCase{"a column of no known fuel", with({}, {"2026.év", "LPG", "Benzin 98"}), 2026,
                    "The table for 2026: column 3 (\"Benzin 98\") names no fuel the reader knows "
                    "(ESZ-95, Gázolaj, Keverék, LPG, CNG)."},
        RefusalCase{"a column of two fuels", with({}, {"2026.év", "Gázolaj / LPG"}), 2026,
                    "The table for 2026: column 2 (\"Gázolaj / LPG\") names more than one fuel."},
        RefusalCase{"two columns alike", with({}, {"2026.év", "LPG (Ft/l)", "LPG autógáz"}), 2026,
                    "The table for 2026: column 2 (\"LPG (Ft/l)\") and column 3 (\"LPG "
                    "autógáz\") are for the same fuel and pricing."},
        RefusalCase{"none of the host's fuels", with({}, {"2026.év", "CNG (Ft/kg)"}), 2026,
                    "The table for 2026 has no column for ESZ-95, Gázolaj, Keverék or LPG; its "
                    "columns: \"CNG (Ft/kg)\"."},
        RefusalCase{"a row wider than the header", with({{"május", "1", "2", "3"}}), 2026,
                    "The table for 2026: the row \"május\" has 4 cells, the header 3."},
        RefusalCase{"a row of no month", with({{"Átlag", "1", "2"}}), 2026,
                    "The table for 2026: a row starts with \"Átlag\", not with a month's name."},
        RefusalCase{"a cell over 4 KiB", with({{"május", std::string(4097, '1'), "2"}}), 2026,
                    "The table for 2026 has a cell of more than 4096 bytes; it is not read."},
        RefusalCase{"a row of 65 cells", page(table({Cells(65, "2026.év")})), 2026,
                    "The table for 2026 has a row of more than 64 cells; it is not read."},
        RefusalCase{"a table in the table", with({{"május", table({{"1"}}), "2"}}), 2026,
                    "The table for 2026 holds another table in a cell; it is not read."},
        RefusalCase{"tables nested 17 deep", nested(17), 2026,
                    "The page nests tables more than 16 deep; it is not read."},
        RefusalCase{"a page over 8 MiB", with({}) + std::string(kMaxPageBytes, ' '), 2026,
                    "The page has " + std::to_string(with({}).size() + kMaxPageBytes) +
                        " bytes; a page of more than 8388608 bytes (8 MiB) is not read."}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

TEST(TableBounds, NestingToTheLimitIsRead) {
  const NavTable read = readNavTable(nested(15) + table({{"2026.év", "LPG"}}), 2026);
  EXPECT_EQ(read.columns.size(), 1u);
}

}  // namespace
}  // namespace netupdate::nav
