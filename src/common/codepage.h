#pragma once

#include <string>
#include <string_view>

namespace netupdate::common {

// The ANSI code page: the single-byte code page in which the page file is
// read and texts are exchanged with the database. On Windows it is the
// system's own; Linux has no such notion, so there it is Windows-1250, the
// code page of the Hungarian Windows the host application runs on (and the
// WIN1250 character set the attachment announces).
//
// Its Windows number: 1250 on Linux, GetACP() on Windows unless that code page
// has more than one byte per character (see codepage_win32.cpp).
unsigned ansiCodePage();

// Every byte decodes to exactly one character. Bytes the code page leaves
// unassigned decode to the C1 control of the same value, as Windows does.
std::string decodeAnsi(std::string_view bytes);

// Characters the code page lacks, and malformed UTF-8, become "?".
std::string encodeAnsi(std::string_view utf8);

// Appends the UTF-8 form of one code point.
void appendUtf8(std::string& out, char32_t codePoint);

// Whether the bytes are well-formed UTF-8 (plain ASCII is).
bool isUtf8(std::string_view bytes);

}  // namespace netupdate::common
