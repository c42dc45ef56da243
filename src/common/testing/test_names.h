#pragma once

#include <string>
#include <string_view>

namespace netupdate::common {

// A name for a parametrised test case, made from its description so that the
// test listing reads as words: each word capitalised and joined, everything
// but ASCII letters and digits dropped ("lone CR is dropped" becomes
// "LoneCRIsDropped", "year's heading" "YearsHeading"). For tests only.
inline std::string testNameOf(std::string_view description) {
  std::string name;
  bool wordStart = true;
  for (const char c : description) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (letter || digit) {
      name += wordStart && c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      wordStart = false;
    } else if (c != '\'') {
      wordStart = true;
    }
  }
  return name.empty() ? "Empty" : name;
}

}  // namespace netupdate::common
