#include "cli/testing/nav_pages.h"

#include <cstdint>
#include <fstream>

namespace netupdate::cli::testing {

namespace {

namespace fs = std::filesystem;

// The markup as a JSON string's content: quotes, slashes and line ends
// escaped, every letter past ASCII as \uXXXX.
std::string jsonEscaped(const std::string& markup) {
  static const char* const kHex = "0123456789abcdef";
  std::string json;
  const auto unit = [&](std::uint32_t value) {
    json += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) json += kHex[(value >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < markup.size();) {
    const auto lead = static_cast<unsigned char>(markup[i]);
    if (lead < 0x80) {
      if (lead == '"' || lead == '\\' || lead == '/') json += '\\';
      json += lead == '\n' ? std::string("\\n") : std::string(1, markup[i]);
      ++i;
      continue;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    std::uint32_t code = lead & (length == 4 ? 0x07u : length == 3 ? 0x0Fu : 0x1Fu);
    for (std::size_t k = 1; k < length; ++k) {
      code = (code << 6) | (static_cast<unsigned char>(markup[i + k]) & 0x3Fu);
    }
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
    i += length;
  }
  return json;
}

std::string htmlEscaped(const std::string& text) {
  std::string html;
  for (const char c : text) {
    if (c == '&') {
      html += "&amp;";
    } else if (c == '<') {
      html += "&lt;";
    } else if (c == '>') {
      html += "&gt;";
    } else if (c == '"') {
      html += "&quot;";
    } else {
      html += c;
    }
  }
  return html;
}

std::string page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"hu\"><head><meta charset=\"utf-8\"><title>" + title +
         "</title></head>\n<body>\n<nav><a href=\"/ugyfeliranytu/uzemanyag\">Üzemanyag</a> "
         "<a href=\"/ugyfeliranytu/uzemanyag/$acpid0x1484110x116?lang=en\">English</a></nav>\n" +
         body + "</body></html>\n";
}

}  // namespace

std::string navTable(const std::vector<NavRow>& rows) {
  std::string table = "<table class=\"table\" border=\"1\"><tbody>\n";
  for (const NavRow& row : rows) {
    table += "<tr>";
    // A cell given with its own <td ...> keeps it, attributes and all.
    for (const std::string& cell : row) {
      table += cell.rfind("<td", 0) == 0 ? "\n" + cell : "\n<td>" + cell + "</td>";
    }
    table += "\n</tr>\n";
  }
  return table + "</tbody></table>\n";
}

std::string navYearPage(const std::string& table, bool jsonEscapedForm) {
  if (!jsonEscapedForm) return page("Üzemanyagárak", "<main>\n" + table + "</main>\n");
  return page("Üzemanyagárak",
              "<div id=\"app\" data-page=\"{&quot;title&quot;:&quot;Üzemanyagárak&quot;,"
              "&quot;content&quot;:&quot;" +
                  htmlEscaped(jsonEscaped("<p>Az árak forintban.</p>\n" + table)) +
                  "&quot;}\"></div>\n");
}

std::string navLinkPage(const std::vector<NavLink>& links) {
  std::string list = "<ul>\n";
  for (const NavLink& link : links) {
    list += "<li><a href=\"" + link.href + "\">" + link.text + "</a></li>\n";
  }
  return page("Üzemanyag", list + "</ul>\n");
}

void writeNavSite(const fs::path& www, const std::map<std::string, std::string>& pages) {
  for (const auto& [path, content] : pages) {
    std::string relative = path.substr(1);
    if (relative.empty() || relative.back() == '/') relative += "index.html";
    const fs::path file = www / fs::path(std::u8string(relative.begin(), relative.end()));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }
}

std::string navHeader(const std::string& fuel, const std::string& pricing,
                      const std::string& unit) {
  std::string cell = "<p><strong>" + fuel + "</strong><br>";
  if (!pricing.empty()) cell += "<em>(" + pricing + ")</em><br>";
  return cell + "<span>(" + unit + ")</span></p>";
}

std::string navTestPath(int year) {
  switch (year) {
    case 2026:
      return "/ugyfeliranytu/uzemanyag/2026-ban-alkalmazhato-uzemanyagarak";
    case 2025:
      return "/ugyfeliranytu/uzemanyag/2025_uzemanyagar/";
    case 2022:
      return "/ugyfeliranytu/uzemanyag/2022_uzemanyagar";
    case 2021:
      return "/ugyfeliranytu/uzemanyag/uzemanyagar_2021";
    default:
      return "/ugyfeliranytu/uzemanyag/" + std::to_string(year) + "_uzemanyagarak";
  }
}

std::map<std::string, std::string> navTestSite() {
  const std::string esz = "Ólmozatlan motorbenzin ESZ-95";
  const NavRow header2026 = {"<p><strong>2026.év</strong></p>",
                             navHeader(esz, "védett ár", "Ft/l"),
                             navHeader(esz, "piaci árszabás", "Ft/l"),
                             navHeader("Gázolaj", "védett ár", "Ft/l"),
                             navHeader("Gázolaj", "piaci árszabás", "Ft/l"),
                             navHeader("Keverék", "", "Ft/l"),
                             navHeader("LPG autógáz", "", "Ft/l"),
                             navHeader("CNG autógáz", "", "Ft/kg")};
  const std::string table2026 =
      navTable({header2026,
                {"<p>március</p>", "-", "612", "-", "634", "640", "<p>301</p>", "795"},
                {"<p>február</p>", "<p>572</p>", "598", "<p>589</p>", "615", "628", "298", "790"},
                {"<p>január</p>", "575", "601", "592", "618", "<p> </p>", "299,5", " "}});

  std::vector<NavRow> rows2025 = {
      {"2025.év", navHeader(esz, "", "Ft/l"), navHeader("Gázolaj", "", "Ft/l"),
       navHeader("Keverék", "", "Ft/l"), navHeader("LPG autógáz", "", "Ft/l"),
       navHeader("CNG autógáz", "", "Ft/kg")}};
  const char* const months[] = {"január",     "február", "március",  "április",
                                "május",      "június",  "július",   "augusztus",
                                "szeptember", "október", "november", "december"};
  for (int month = 12; month >= 1; --month) {
    rows2025.push_back({months[month - 1], std::to_string(600 + month), std::to_string(620 + month),
                        std::to_string(630 + month), std::to_string(300 + month),
                        std::to_string(780 + month)});
  }
  rows2025.push_back({"december <br>(2024)", "999", "999", "999", "999", "999"});

  std::vector<NavRow> rows2022 = {
      {"2022.év ", navHeader(esz, "hatósági árszabás", "Ft/l"),
       navHeader(esz, "piaci árszabás", "Ft/l"), navHeader("Gázolaj", "hatósági árszabás", "Ft/l"),
       navHeader("Gázolaj", "piaci árszabás", "Ft/l"), navHeader("Keverék", "", "Ft/l"),
       navHeader("LPG autógáz", "", "Ft/l")}};
  for (int month = 12; month >= 1; --month) {
    const bool capped = month < 12;
    rows2022.push_back({months[month - 1], capped ? "480" : "-", std::to_string(500 + month * 5),
                        capped ? "480" : "-", std::to_string(520 + month * 5),
                        std::to_string(540 + month), std::to_string(280 + month)});
  }

  const std::string table2021 =
      navTable({{"2021.év", navHeader(esz, "", "Ft/l"), navHeader("Gázolaj", "", "Ft/l")},
                {"január", "<p>410</p>", "<p>415</p>"},
                {"február", "<td colspan=\"2\">nincs adat</td>"}});

  const std::string section = "/ugyfeliranytu/uzemanyag/";
  const std::string archive = "/ugyfeliranytu/uzemanyag/Korabbi_evben_alkalma20150212";
  const auto linkTo = [](int year) {
    std::string path = navTestPath(year);
    // The redirect to the folder's page: the link has no trailing slash.
    if (path.back() == '/') path.pop_back();
    return path;
  };
  return {
      {section, navLinkPage({{linkTo(2026), "2026-ban alkalmazható üzemanyagárak"},
                             {linkTo(2025), "2025-ben alkalmazható üzemanyagárak"},
                             {archive, "Korábbi években alkalmazott üzemanyagárak"}})},
      {archive, navLinkPage({{linkTo(2021), "2021-ben alkalmazott üzemanyagárak"},
                             {linkTo(2022), "2022-ben alkalmazott üzemanyagárak"},
                             {"/ugyfeliranytu/uzemanyag/2023_uzemanyagar?lang=en",
                              "2019-ben alkalmazott üzemanyagárak"}})},
      {navTestPath(2026), navYearPage(table2026, false)},
      {navTestPath(2025), navYearPage(navTable(rows2025), true)},
      {navTestPath(2022), navYearPage(navTable(rows2022), false)},
      {navTestPath(2021), navYearPage(table2021, false)},
  };
}

}  // namespace netupdate::cli::testing
