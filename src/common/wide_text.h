#pragma once

#include <string>
#include <string_view>

namespace netupdate::common {

// Windows speaks UTF-16 in its wide-character API; inside the program texts
// are UTF-8. Malformed input becomes U+FFFD rather than being cut short, so a
// name always reaches the system whole.
std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

}  // namespace netupdate::common
