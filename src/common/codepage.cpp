#include "common/codepage.h"

#include "common/codepage_tables.h"

namespace netupdate::common {

namespace {

const detail::CodePageTables& tables() {
  static const detail::CodePageTables instance = [] {
    detail::CodePageTables built = detail::buildAnsiTables();
    for (unsigned value = 0; value < 256; ++value) {
      built.fromUnicode.emplace(built.toUnicode[value], static_cast<unsigned char>(value));
    }
    return built;
  }();
  return instance;
}

// Reads one code point; returns false on a malformed sequence (one byte consumed).
bool nextCodePoint(std::string_view text, std::size_t& pos, char32_t& cp) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  int length = 0;
  if (lead < 0x80) {
    cp = lead;
    ++pos;
    return true;
  }
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    cp = lead & 0x1Fu;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    cp = lead & 0x0Fu;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    cp = lead & 0x07u;
  } else {
    ++pos;
    return false;
  }
  if (pos + static_cast<std::size_t>(length) > text.size()) {
    ++pos;
    return false;
  }
  for (int i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[pos + static_cast<std::size_t>(i)]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return false;
    }
    cp = (cp << 6) | (next & 0x3Fu);
  }
  // Overlong forms, surrogates and values beyond Unicode are not UTF-8 either.
  constexpr char32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kShortest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
    ++pos;
    return false;
  }
  pos += static_cast<std::size_t>(length);
  return true;
}

}  // namespace

unsigned ansiCodePage() {
  return tables().codePage;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

std::string decodeAnsi(std::string_view bytes) {
  const auto& toUnicode = tables().toUnicode;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (char byte : bytes) {
    appendUtf8(out, toUnicode[static_cast<unsigned char>(byte)]);
  }
  return out;
}

std::string encodeAnsi(std::string_view utf8) {
  const auto& fromUnicode = tables().fromUnicode;
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t cp = 0;
    if (!nextCodePoint(utf8, pos, cp)) {
      out += '?';
      continue;
    }
    const auto found = fromUnicode.find(cp);
    out += found == fromUnicode.end() ? '?' : static_cast<char>(found->second);
  }
  return out;
}

bool isUtf8(std::string_view bytes) {
  std::size_t pos = 0;
  char32_t cp = 0;
  while (pos < bytes.size()) {
    if (!nextCodePoint(bytes, pos, cp)) return false;
  }
  return true;
}

}  // namespace netupdate::common
