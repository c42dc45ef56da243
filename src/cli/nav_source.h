#pragma once

#include <exception>
#include <optional>
#include <string>

#include "nav/nav_table.h"

namespace netupdate::cli {

// Where a command takes NAV's prices from: the year's page on NAV's site
// (NETUPDATE_NAV_SITE or nav.gov.hu), or a page saved before.
struct NavSource {
  std::optional<int> year;
  std::string file;  // when no year
};

struct NavRead {
  std::string url;  // the page's address, or the file's path as given
  std::string body;
  nav::NavTable table;
};

// Throws nav::ENavSiteError when the year's page can't be found or fetched,
// parse::EInOutError when the file can't be read and nav::ENavTableError when
// the page has no usable table. A file is read no further than the reader
// would take a page.
NavRead readNav(const NavSource& source);

// A year as the commands take it: four digits, such as 2026.
std::optional<int> parseYear(const std::string& text);

// What went wrong and what caused it, outermost first: an error raised over
// another one (std::throw_with_nested) names the page, the one under it why.
// A cause the text above it already quotes is not repeated.
std::string causeChain(const std::exception& error);

}  // namespace netupdate::cli
