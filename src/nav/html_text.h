#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace netupdate::nav {

// Text as NAV's pages write it, made into UTF-8 that any JSON writer or
// terminal takes: character references decoded, and every byte that is not
// part of valid UTF-8 replaced by U+FFFD.

void appendUtf8(char32_t codePoint, std::string& out);

// Decodes the character reference that starts at text[pos] ('&'): the named
// ones the pages use, decimal and hexadecimal. Returns how many bytes it
// took, 0 when there is no reference the reader knows (the '&' is then text).
std::size_t decodeReference(std::string_view text, std::size_t pos, std::string& out);

// Appends text taken from between tags, references decoded.
void appendDecodedText(std::string_view raw, std::string& out);

// Trimmed, every run of blanks (no-break spaces included) one space.
std::string collapseBlanks(std::string_view utf8);

// Lower case for matching words: ASCII and the accented Latin letters
// Hungarian uses, so "GÁZOLAJ" matches "gázolaj".
std::string foldCase(std::string_view utf8);

// Length of the blank (ASCII white space or a no-break or thin space) at
// text[pos], 0 when there is none.
std::size_t blankAt(std::string_view text, std::size_t pos);

}  // namespace netupdate::nav
