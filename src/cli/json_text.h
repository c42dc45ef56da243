#pragma once

#include <string>
#include <string_view>

namespace netupdate::cli {

// A JSON string literal, quotes included, for UTF-8 text: quotes, backslashes
// and control characters escaped, and any byte that is not part of valid
// UTF-8 replaced by U+FFFD, so the output stays valid JSON whatever a server
// or the system put into a message.
std::string jsonString(std::string_view utf8);

}  // namespace netupdate::cli
