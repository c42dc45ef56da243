#include "nav/page_forms.h"

#include <cstddef>
#include <cstdint>

#include "common/ascii.h"
#include "nav/html_text.h"

namespace netupdate::nav {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of the four hex digits at text[pos], -1 when they are not four.
std::int32_t hex4(std::string_view text, std::size_t pos) {
  if (pos + 4 > text.size()) return -1;
  std::int32_t value = 0;
  for (std::size_t i = pos; i < pos + 4; ++i) {
    const int digit = hexValue(text[i]);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

// An escaped '<' that opens (or closes) a tag: "&lt;" or "\u003c" before a
// letter or '/'. Returns the length of the escape, 0 when there is none.
std::size_t escapedTagOpenAt(std::string_view page, std::size_t pos) {
  std::size_t length = 0;
  if (common::equalsIgnoringCase(page.substr(pos, 4), "&lt;")) {
    length = 4;
  } else if (common::equalsIgnoringCase(page.substr(pos, 6), "\\u003c")) {
    length = 6;
  } else {
    return 0;
  }
  if (pos + length >= page.size()) return 0;
  const char next = page[pos + length];
  return isLetter(next) || next == '/' ? length : 0;
}

// Undoes one JSON escape at text[pos] ('\\'); returns the bytes it took.
std::size_t decodeJsonEscape(std::string_view text, std::size_t pos, std::string& out) {
  if (pos + 1 >= text.size()) {
    out += '\\';
    return 1;
  }
  switch (text[pos + 1]) {
    case '"':
    case '\\':
    case '/':
      out += text[pos + 1];
      return 2;
    case 'n':
      out += '\n';
      return 2;
    case 't':
      out += '\t';
      return 2;
    case 'r':
      out += '\r';
      return 2;
    case 'b':
      out += '\b';
      return 2;
    case 'f':
      out += '\f';
      return 2;
    case 'u': {
      const std::int32_t unit = hex4(text, pos + 2);
      if (unit < 0) break;
      if (unit >= 0xD800 && unit <= 0xDBFF && pos + 7 < text.size() && text[pos + 6] == '\\' &&
          text[pos + 7] == 'u') {
        const std::int32_t low = hex4(text, pos + 8);
        if (low >= 0xDC00 && low <= 0xDFFF) {
          const auto codePoint =
              static_cast<char32_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
          appendUtf8(codePoint, out);
          return 12;
        }
      }
      const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
      appendUtf8(surrogate || unit == 0 ? kReplacement : static_cast<char32_t>(unit), out);
      return 6;
    }
    case '&': {
      // The HTML escaping came on top of JSON's, so an escaped quote reads "\&quot;".
      std::string decoded;
      const std::size_t used = decodeReference(text, pos + 1, decoded);
      if (used == 0) break;
      if (decoded != "\"" && decoded != "\\" && decoded != "/") out += '\\';
      out += decoded;
      return 1 + used;
    }
    default:
      break;
  }
  out += '\\';
  return 1;
}

// Decodes from an escaped '<' to the end of the JSON string holding it, the
// first '"' no backslash escapes. Returns where decoding stopped.
std::size_t decodeStretch(std::string_view page, std::size_t pos, std::string& out) {
  while (pos < page.size()) {
    const char c = page[pos];
    if (c == '"') return pos;
    if (c == '\\') {
      pos += decodeJsonEscape(page, pos, out);
    } else if (c == '&') {
      const std::size_t used = decodeReference(page, pos, out);
      if (used == 0) out += '&';
      pos += used == 0 ? 1 : used;
    } else {
      out += c;
      ++pos;
    }
  }
  return pos;
}

}  // namespace

std::vector<std::string> escapedMarkup(std::string_view page) {
  std::vector<std::string> stretches;
  std::size_t pos = 0;
  while (pos < page.size()) {
    const std::size_t candidate = page.find_first_of("&\\", pos);
    if (candidate == std::string_view::npos) break;
    if (escapedTagOpenAt(page, candidate) == 0) {
      pos = candidate + 1;
      continue;
    }
    std::string markup;
    pos = decodeStretch(page, candidate, markup);
    stretches.push_back(std::move(markup));
  }
  return stretches;
}

}  // namespace netupdate::nav
