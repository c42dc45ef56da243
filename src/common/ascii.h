#pragma once

#include <string>
#include <string_view>

namespace netupdate::common {

// Protocol and SQL names compare by ASCII letters only: a locale's case
// rules (or a Windows-1250 byte) must never make two names equal.
char lowerAscii(char c);
std::string lowerAscii(std::string_view text);
bool equalsIgnoringCase(std::string_view left, std::string_view right);

}  // namespace netupdate::common
