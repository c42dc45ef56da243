#pragma once

// Private to the code page: what each platform supplies.

#include <array>
#include <unordered_map>

namespace netupdate::common::detail {

struct CodePageTables {
  unsigned codePage = 0;
  std::array<char32_t, 256> toUnicode{};
  // Built from toUnicode, so encoding is the exact inverse of decoding: a
  // character the code page lacks is never replaced by a look-alike.
  std::unordered_map<char32_t, unsigned char> fromUnicode;
};

// The ANSI code page of this platform, asked once per byte.
CodePageTables buildAnsiTables();

}  // namespace netupdate::common::detail
