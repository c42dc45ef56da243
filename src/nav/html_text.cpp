#include "nav/html_text.h"

#include <array>
#include <cstdint>

namespace netupdate::nav {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct NamedReference {
  std::string_view name;
  char32_t codePoint;
  // Browsers still take the oldest names without their ';' ("392&nbsp</p>"),
  // and editors still write them so.
  bool legacy;
};

// The references NAV's editors produce; a soft hyphen only splits a word for
// the browser, so it decodes to nothing (code point 0 here).
constexpr std::array<NamedReference, 35> kNamed{{
    {"nbsp", 0xA0, true},    {"amp", '&', true},       {"lt", '<', true},
    {"gt", '>', true},       {"quot", '"', true},      {"apos", '\'', false},
    {"shy", 0, true},        {"ndash", 0x2013, false}, {"mdash", 0x2014, false},
    {"aacute", 0xE1, true},  {"Aacute", 0xC1, true},   {"eacute", 0xE9, true},
    {"Eacute", 0xC9, true},  {"iacute", 0xED, true},   {"Iacute", 0xCD, true},
    {"oacute", 0xF3, true},  {"Oacute", 0xD3, true},   {"ouml", 0xF6, true},
    {"Ouml", 0xD6, true},    {"odblac", 0x151, false}, {"Odblac", 0x150, false},
    {"uacute", 0xFA, true},  {"Uacute", 0xDA, true},   {"uuml", 0xFC, true},
    {"Uuml", 0xDC, true},    {"udblac", 0x171, false}, {"Udblac", 0x170, false},
    {"auml", 0xE4, true},    {"Auml", 0xC4, true},     {"otilde", 0xF5, true},
    {"Otilde", 0xD5, true},  {"ucirc", 0xFB, true},    {"Ucirc", 0xDB, true},
    {"euro", 0x20AC, false}, {"deg", 0xB0, true},
}};

bool isAsciiAlnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::size_t decodeNumeric(std::string_view text, std::size_t pos, std::string& out) {
  // pos is at "&#".
  std::size_t i = pos + 2;
  const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
  if (hex) ++i;
  const std::size_t digitsStart = i;
  std::uint32_t value = 0;
  bool tooLarge = false;
  for (; i < text.size(); ++i) {
    const int digit =
        hex ? hexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) break;
    if (value > 0x10FFFF) {
      tooLarge = true;
    } else {
      value = value * (hex ? 16u : 10u) + static_cast<std::uint32_t>(digit);
    }
  }
  if (i == digitsStart) return 0;
  if (i < text.size() && text[i] == ';') ++i;
  const bool valid =
      !tooLarge && value != 0 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
  appendUtf8(valid ? static_cast<char32_t>(value) : kReplacement, out);
  return i - pos;
}

// Length of the valid UTF-8 sequence at text[pos], 0 when the bytes there are not one.
std::size_t utf8SequenceAt(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  char32_t minimum = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
    value = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
    value = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
    value = lead & 0x07u;
  } else {
    return 0;
  }
  if (pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0u) != 0x80u) return 0;
    value = (value << 6) | (byte(pos + i) & 0x3Fu);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

void appendUtf8(char32_t codePoint, std::string& out) {
  const auto put = [&](std::uint32_t bits) { out += static_cast<char>(bits); };
  const auto value = static_cast<std::uint32_t>(codePoint);
  if (value < 0x80) {
    put(value);
  } else if (value < 0x800) {
    put(0xC0 | (value >> 6));
    put(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    put(0xE0 | (value >> 12));
    put(0x80 | ((value >> 6) & 0x3F));
    put(0x80 | (value & 0x3F));
  } else {
    put(0xF0 | (value >> 18));
    put(0x80 | ((value >> 12) & 0x3F));
    put(0x80 | ((value >> 6) & 0x3F));
    put(0x80 | (value & 0x3F));
  }
}

std::size_t decodeReference(std::string_view text, std::size_t pos, std::string& out) {
  if (pos + 1 >= text.size()) return 0;
  if (text[pos + 1] == '#') return decodeNumeric(text, pos, out);
  std::size_t end = pos + 1;
  while (end < text.size() && end - pos <= 8 && isAsciiAlnum(text[end])) ++end;
  const std::string_view name = text.substr(pos + 1, end - pos - 1);
  const bool closed = end < text.size() && text[end] == ';';
  // Without its ';' a name counts only when no letter, digit or '=' follows:
  // in "?a=1&lt=2" it is part of a query, not a reference.
  const bool bare = end >= text.size() || text[end] != '=';
  for (const NamedReference& named : kNamed) {
    if (named.name == name && (closed || (named.legacy && bare))) {
      if (named.codePoint != 0) appendUtf8(named.codePoint, out);
      return end + (closed ? 1 : 0) - pos;
    }
  }
  return 0;
}

void appendDecodedText(std::string_view raw, std::string& out) {
  std::size_t pos = 0;
  while (pos < raw.size()) {
    if (raw[pos] == '&') {
      const std::size_t used = decodeReference(raw, pos, out);
      if (used != 0) {
        pos += used;
        continue;
      }
    }
    const std::size_t length = utf8SequenceAt(raw, pos);
    if (length == 0) {
      appendUtf8(kReplacement, out);
      ++pos;
    } else {
      out.append(raw.substr(pos, length));
      pos += length;
    }
  }
}

std::size_t blankAt(std::string_view text, std::size_t pos) {
  const char c = text[pos];
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') return 1;
  const std::string_view rest = text.substr(pos);
  // No-break space, figure space, thin space, narrow no-break space.
  if (rest.starts_with("\xC2\xA0")) return 2;
  if (rest.starts_with("\xE2\x80\x87") || rest.starts_with("\xE2\x80\x89") ||
      rest.starts_with("\xE2\x80\xAF")) {
    return 3;
  }
  return 0;
}

std::string collapseBlanks(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  bool pendingBlank = false;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    const std::size_t blank = blankAt(utf8, pos);
    if (blank != 0) {
      pendingBlank = !out.empty();
      pos += blank;
      continue;
    }
    if (pendingBlank) out += ' ';
    pendingBlank = false;
    out += utf8[pos++];
  }
  return out;
}

std::string foldCase(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t pos = 0; pos < utf8.size(); ++pos) {
    const auto c = static_cast<unsigned char>(utf8[pos]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
      continue;
    }
    if (pos + 1 < utf8.size()) {
      const auto next = static_cast<unsigned char>(utf8[pos + 1]);
      // U+00C0..U+00DE but U+00D7 (the multiplication sign), written C3 80..C3 9E.
      if (c == 0xC3 && next >= 0x80 && next <= 0x9E && next != 0x97) {
        out += static_cast<char>(c);
        out += static_cast<char>(next + 0x20);
        ++pos;
        continue;
      }
      // Ő (U+0150, C5 90) and Ű (U+0170, C5 B0) are one below their small letters.
      if (c == 0xC5 && (next == 0x90 || next == 0xB0)) {
        out += static_cast<char>(c);
        out += static_cast<char>(next + 1);
        ++pos;
        continue;
      }
    }
    out += static_cast<char>(c);
  }
  return out;
}

}  // namespace netupdate::nav
