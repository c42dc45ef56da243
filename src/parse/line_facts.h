#pragma once

#include <array>
#include <string_view>

namespace netupdate::parse {

// What the price rules need from one line of the table, gathered in a
// single pass over it: the cell markers it holds, the highest month it names
// and its first digits.
struct LineFacts {
  // Four prices of three digits are the most one line can yield.
  static constexpr int kMaxDigits = 12;

  bool cellOpener = false;  // holds "<p>"
  bool cellCloser = false;  // holds "/p>"
  // 1..12, the highest month whose name stands anywhere in the line, in its
  // lower-case form with an HTML entity ("janu&aacute;r") or with the accented
  // letter in the ANSI code page ("január"); 0 when the line names none.
  int month = 0;
  // The ASCII digits of the line in order, leaving out the 9 of each
  // "style9" (the page's cell class), up to kMaxDigits of them.
  std::array<unsigned char, kMaxDigits> digits{};
  int digitCount = 0;
};

LineFacts lineFacts(std::string_view line);

}  // namespace netupdate::parse
