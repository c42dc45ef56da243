#pragma once

#include <string_view>

namespace netupdate::parse {

// The highest month (1..12) whose name stands anywhere in the line, in its
// lower-case form with an HTML entity ("janu&aacute;r") or with the accented
// letter in the ANSI code page ("január"); 0 when the line names none.
int highestMonthNamed(std::string_view line);

}  // namespace netupdate::parse
