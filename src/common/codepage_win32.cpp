#include <windows.h>

#include "common/codepage_tables.h"

namespace netupdate::common::detail {

namespace {

// Where the system's code page has lead bytes (Japanese, Chinese, Korean) or
// is UTF-8 (the "Unicode for worldwide language support" option), a byte is no
// longer a character: the page parser and the database texts rely on that.
// Such a system gets the code page this program is made for, which also
// matches the WIN1250 character set the attachment announces.
constexpr unsigned kFallbackCodePage = 1250;

unsigned singleByteAnsiCodePage() {
  const unsigned system = ::GetACP();
  CPINFO info{};
  if (::GetCPInfo(system, &info) && info.MaxCharSize == 1) return system;
  return kFallbackCodePage;
}

}  // namespace

CodePageTables buildAnsiTables() {
  CodePageTables tables;
  tables.codePage = singleByteAnsiCodePage();
  for (unsigned value = 0; value < 256; ++value) {
    const char in = static_cast<char>(value);
    wchar_t out[2] = {};
    const int length =
        ::MultiByteToWideChar(tables.codePage, 0, &in, 1, out, static_cast<int>(std::size(out)));
    // Windows maps the bytes a code page leaves unassigned to the C1 control
    // of the same value; anything else unexpected is treated the same way.
    const bool single = length == 1 && (out[0] < 0xD800 || out[0] > 0xDFFF);
    tables.toUnicode[value] = single ? static_cast<char32_t>(out[0]) : value;
  }
  return tables;
}

}  // namespace netupdate::common::detail
