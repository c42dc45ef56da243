#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace netupdate::nav {

// A link as a page shows it: its href with references decoded, and its text
// with tags removed, references decoded and blanks collapsed.
struct PageLink {
  std::string href;
  std::string text;
};

// Calls visit for each link of the page, plain markup first, then the links
// of the page data's escaped markup, until visit returns false.
void forEachLink(std::string_view page, const std::function<bool(const PageLink&)>& visit);

}  // namespace netupdate::nav
