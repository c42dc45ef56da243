#pragma once

#include <string>
#include <string_view>

namespace netupdate::common {

// The ANSI code page: the single-byte code page in which the page file is
// read and texts are exchanged with the database. Linux has no such notion,
// so it is Windows-1250, the code page of the Hungarian Windows the host
// application runs on (and the WIN1250 character set the attachment announces).
inline constexpr const char* kAnsiCodePageName = "WINDOWS-1250";

// Every byte decodes to exactly one character. The five bytes Windows-1250
// leaves unassigned decode to the C1 control of the same value, as Windows does.
std::string decodeAnsi(std::string_view bytes);

// Characters the code page lacks, and malformed UTF-8, become "?".
std::string encodeAnsi(std::string_view utf8);

// Appends the UTF-8 form of one code point.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace netupdate::common
