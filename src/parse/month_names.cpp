#include "parse/month_names.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "common/codepage.h"

namespace netupdate::parse {

namespace {

struct MonthForm {
  int month;
  std::string text;  // bytes as they stand in the page file
  std::size_t anchor;
};

// The line is scanned once, stopping only at bytes that are rare in HTML
// markup ("&", the accented letters, "z", "v", "b"); every form is checked
// only where its anchor byte stands. That keeps the test cheap on the long
// rows of numbers and markup that make up most of the table.
struct MonthTable {
  std::vector<MonthForm> forms;
  std::array<std::vector<const MonthForm*>, 256> byAnchor;
  std::array<bool, 256> isAnchor{};
};

std::size_t anchorOf(const std::string& text) {
  // The accented letter or the entity's "&" if there is one; otherwise the
  // rarest letter of the plain month names.
  for (const char rare : {'&', 'z', 'v', 'b'}) {
    if (const std::size_t at = text.find(rare); at != std::string::npos) return at;
  }
  const auto accented = std::find_if(text.begin(), text.end(),
                                     [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  return static_cast<std::size_t>(accented - text.begin());
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
  table.forms.reserve(20);
  for (int month = 1; month <= 12; ++month) {
    const Names& names = kNames[static_cast<std::size_t>(month - 1)];
    table.forms.push_back({month, names.entity, 0});
    // Matching the encoded bytes equals matching the decoded text, because
    // the code page gives every character exactly one byte.
    if (names.accented != nullptr) {
      table.forms.push_back({month, common::encodeAnsi(names.accented), 0});
    }
  }
  for (MonthForm& form : table.forms) {
    form.anchor = anchorOf(form.text);
    const auto byte = static_cast<unsigned char>(form.text[form.anchor]);
    table.byAnchor[byte].push_back(&form);
    table.isAnchor[byte] = true;
  }
  return table;
}

const MonthTable& monthTable() {
  static const MonthTable table = buildTable();
  return table;
}

}  // namespace

int highestMonthNamed(std::string_view line) {
  const MonthTable& table = monthTable();
  const char* const data = line.data();
  const std::size_t size = line.size();
  int highest = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(data[i]);
    if (!table.isAnchor[byte]) continue;
    for (const MonthForm* form : table.byAnchor[byte]) {
      if (form->month <= highest || i < form->anchor) continue;
      const std::size_t start = i - form->anchor;
      if (size - start < form->text.size()) continue;
      if (std::memcmp(data + start, form->text.data(), form->text.size()) == 0) {
        highest = form->month;
        if (highest == 12) return highest;
      }
    }
  }
  return highest;
}

}  // namespace netupdate::parse
