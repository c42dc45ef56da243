#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace netupdate::nav {

// NAV's ordinary page may carry its content not as markup but inside a JSON
// string of the page's data, HTML-escaped on top ("&lt;table class=\&quot;"),
// with JSON's own escapes (\n, \", \/, \\, \uXXXX). This finds every stretch
// of such escaped markup, from its first escaped '<' to the end of its
// string, and gives it back as plain markup, in page order. Plain markup
// around it is not repeated.
std::vector<std::string> escapedMarkup(std::string_view page);

}  // namespace netupdate::nav
