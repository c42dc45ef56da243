#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace netupdate::cli::testing {

// Pages in the shapes of NAV's site, for the tool's tests: year pages with a
// price table, and the section and archive pages that link them.

// One table row: the cells' markup as NAV writes it.
using NavRow = std::vector<std::string>;

// A price table: the header row (the year's cell first), then the months.
std::string navTable(const std::vector<NavRow>& rows);

// A year page carrying the table as plain markup, or, as the ordinary page
// may, HTML-escaped inside a JSON string of the page's data.
std::string navYearPage(const std::string& table, bool jsonEscaped);

struct NavLink {
  std::string href;
  std::string text;
};

// A section or archive page: the links among the site's menu links (the
// section itself, a language switch with a query).
std::string navLinkPage(const std::vector<NavLink>& links);

// Writes each page under www at its path; a path ending in "/" names a
// folder, whose page is its index.html (nginx then redirects the path
// without the slash to it).
void writeNavSite(const std::filesystem::path& www,
                  const std::map<std::string, std::string>& pages);

// The header cell of a fuel column, in pieces as NAV breaks them.
std::string navHeader(const std::string& fuel, const std::string& pricing, const std::string& unit);

// The site the tests serve, by path: the section page links 2026 (plain
// markup, a capped and a market price for ESZ-95 and Gázolaj, January to
// March) and 2025 (JSON-escaped, all months and the previous year's
// December); the archive links 2022 (capped "hatósági árszabás" prices
// until November) and 2021 (a table with a colspan). No page has 2019.
// 2025 and the section page sit in folders, reached through a redirect.
std::map<std::string, std::string> navTestSite();

// The path of a year's page on that site.
std::string navTestPath(int year);

}  // namespace netupdate::cli::testing
