#include "parse/line_facts.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "common/codepage.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace netupdate::parse {

namespace {

struct MonthForm {
  int month;
  std::string text;    // bytes as they stand in the page file
  std::size_t anchor;  // offset of the byte the scan stops at
  std::uint32_t head;  // the first four bytes, to reject most stops at once
};

enum ByteClass : unsigned char { kOther, kDigit, kAnchor, kTagEnd };

// The line is scanned once, stopping only at digits, at ">" (both cell
// markers end in "p>") and at the anchor bytes of the month forms (";", the
// accented letters, "b", "z"); a month form is compared only where its
// anchor byte stands. One pass of this kind costs less than a search per
// marker and per month form, which would dominate the parse.
struct MonthTable {
  std::vector<MonthForm> forms;
  std::array<std::vector<const MonthForm*>, 256> byAnchor;
  std::array<ByteClass, 256> classOf{};
  // follows[anchor][next]: some form has next right after that anchor byte.
  std::array<std::bitset<256>, 256> follows;
};

// The byte a form is looked for by: the end of its entity, else its
// accented letter, else one of its rarer letters. Forms are told apart further
// by the byte that follows the anchor, so a common anchor such as the ";" of
// every entity on the page rarely leads to a comparison.
std::size_t anchorOf(const std::string& text) {
  if (const std::size_t at = text.find(';'); at != std::string::npos) return at;
  const auto accented = std::find_if(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (accented != text.end()) return static_cast<std::size_t>(accented - text.begin());
  if (const std::size_t at = text.find('b'); at != std::string::npos) return at;
  return text.find('z');
}

std::uint32_t load32(const char* data) {
  std::uint32_t value = 0;
  std::memcpy(&value, data, sizeof value);
  return value;
}

MonthTable buildTable() {
  struct Names {
    const char* entity;
    const char* accented;
  };
  static constexpr std::array<Names, 12> kNames = {{
      {"janu&aacute;r", "január"},
      {"febru&aacute;r", "február"},
      {"m&aacute;rcius", "március"},
      {"&aacute;prilis", "április"},
      {"m&aacute;jus", "május"},
      {"j&uacute;nius", "június"},
      {"j&uacute;lius", "július"},
      {"augusztus", nullptr},
      {"szeptember", nullptr},
      {"okt&oacute;ber", "október"},
      {"november", nullptr},
      {"december", nullptr},
  }};
  MonthTable table;
  // The anchor lists point into this vector: it must not reallocate.
  table.forms.reserve(24);
  for (int month = 1; month <= 12; ++month) {
    const Names& names = kNames[static_cast<std::size_t>(month - 1)];
    table.forms.push_back({month, names.entity, 0, 0});
    // Matching the encoded bytes equals matching the decoded text, because
    // the code page gives every character exactly one byte.
    if (names.accented != nullptr) {
      table.forms.push_back({month, common::encodeAnsi(names.accented), 0, 0});
    }
  }
  for (char digit = '0'; digit <= '9'; ++digit) {
    table.classOf[static_cast<unsigned char>(digit)] = kDigit;
  }
  table.classOf['>'] = kTagEnd;
  for (MonthForm& form : table.forms) {
    form.anchor = anchorOf(form.text);
    form.head = load32(form.text.data());
    const auto byte = static_cast<unsigned char>(form.text[form.anchor]);
    table.byAnchor[byte].push_back(&form);
    table.follows[byte].set(static_cast<unsigned char>(form.text[form.anchor + 1]));
    table.classOf[byte] = kAnchor;
  }
  return table;
}

const MonthTable& monthTable() {
  static const MonthTable table = buildTable();
  return table;
}

// The 9 of "style9" is no digit of a price: skipping it equals replacing the
// class name by "s" first, since occurrences of it cannot overlap and the
// letters replaced are no digits anyway.
bool endsStyleClass(const char* data, std::size_t nine) {
  return nine >= 5 && std::memcmp(data + nine - 5, "style", 5) == 0;
}

}  // namespace

namespace {

// Compares the month forms anchored at byte i; rare enough to stay out of line.
[[gnu::noinline]] void matchMonths(const MonthTable& table, std::string_view line, std::size_t i,
                                   LineFacts& facts) {
  const char* const data = line.data();
  for (const MonthForm* form : table.byAnchor[static_cast<unsigned char>(data[i])]) {
    if (form->month <= facts.month || i < form->anchor) continue;
    const std::size_t start = i - form->anchor;
    const std::size_t length = form->text.size();
    if (line.size() - start < length || load32(data + start) != form->head) continue;
    if (std::memcmp(data + start + 4, form->text.data() + 4, length - 4) == 0) {
      facts.month = form->month;
    }
  }
}

// Applies one byte that the class table does not mark as other.
[[gnu::always_inline]] inline void takeByte(const MonthTable& table, std::string_view line,
                                            std::size_t i, LineFacts& facts) {
  const char* const data = line.data();
  const auto byte = static_cast<unsigned char>(data[i]);
  switch (table.classOf[byte]) {
    case kOther:
      return;
    case kDigit:
      if (facts.digitCount == LineFacts::kMaxDigits) return;
      if (byte == '9' && endsStyleClass(data, i)) return;
      facts.digits[static_cast<std::size_t>(facts.digitCount++)] =
          static_cast<unsigned char>(byte - '0');
      return;
    case kTagEnd:
      if (i >= 2 && data[i - 1] == 'p') {
        if (data[i - 2] == '<') facts.cellOpener = true;
        if (data[i - 2] == '/') facts.cellCloser = true;
      }
      return;
    case kAnchor:
      if (i + 1 < line.size() && table.follows[byte][static_cast<unsigned char>(data[i + 1])]) {
        matchMonths(table, line, i, facts);
      }
      return;
  }
}

#if defined(__SSE2__)
// Bit n set when byte n of the 16 may matter: a digit, ">", an anchor byte.
// Every byte from 0x80 up is let through and sorted out by the class table.
[[gnu::always_inline]] inline unsigned candidates(const char* data) {
  const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
  const __m128i digit = _mm_cmpeq_epi8(
      _mm_min_epu8(_mm_max_epu8(bytes, _mm_set1_epi8('0')), _mm_set1_epi8('9')), bytes);
  __m128i hit = _mm_or_si128(digit, _mm_cmpeq_epi8(bytes, _mm_set1_epi8('>')));
  for (const char anchor : {';', 'b', 'z'}) {
    hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, _mm_set1_epi8(anchor)));
  }
  return static_cast<unsigned>(_mm_movemask_epi8(hit) | _mm_movemask_epi8(bytes));
}
#endif

}  // namespace

LineFacts lineFacts(std::string_view line) {
  const MonthTable& table = monthTable();
  LineFacts facts;
  std::size_t i = 0;
#if defined(__SSE2__)
  // Most bytes of a line are markup letters that matter to no rule: skipping
  // them sixteen at a time is what brings the parse near the speed of a plain
  // text search.
  for (; i + 16 <= line.size(); i += 16) {
    for (unsigned mask = candidates(line.data() + i); mask != 0; mask &= mask - 1) {
      takeByte(table, line, i + static_cast<std::size_t>(__builtin_ctz(mask)), facts);
    }
  }
  // The last partial block is taken from a load that ends with the line,
  // overlapping bytes already seen rather than reading past the end.
  if (i < line.size() && line.size() >= 16) {
    const std::size_t base = line.size() - 16;
    for (unsigned mask = candidates(line.data() + base) >> (i - base); mask != 0;
         mask &= mask - 1) {
      takeByte(table, line, i + static_cast<std::size_t>(__builtin_ctz(mask)), facts);
    }
    i = line.size();
  }
#endif
  for (; i < line.size(); ++i) takeByte(table, line, i, facts);
  return facts;
}

}  // namespace netupdate::parse
