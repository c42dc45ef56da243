#pragma once

// A slow, literal reading of the page rules, kept apart from the optimised
// scanner so tests and the fuzzer can hold one against the other. It decodes
// the page to UTF-8 and works on whole lines of decoded text, the way the
// rules are stated, sharing no code with PriceScanner or LineReader.

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "common/codepage.h"
#include "common/prices.h"

namespace netupdate::parse::testing {

inline std::vector<std::string> literalLines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string current;
  bool pending = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
      pending = false;
    } else if (c != '\r') {
      current += c;
      pending = true;
    } else {
      pending = true;
    }
  }
  if (pending) lines.push_back(current);
  return lines;
}

inline void literalParse(std::string_view bytes, common::THaviArak& haviarak) {
  static const std::array<std::array<const char*, 2>, 12> kMonths = {{
      {"janu&aacute;r", "január"},
      {"febru&aacute;r", "február"},
      {"m&aacute;rcius", "március"},
      {"&aacute;prilis", "április"},
      {"m&aacute;jus", "május"},
      {"j&uacute;nius", "június"},
      {"j&uacute;lius", "július"},
      {"augusztus", "augusztus"},
      {"szeptember", "szeptember"},
      {"okt&oacute;ber", "október"},
      {"november", "november"},
      {"december", "december"},
  }};
  enum { searching, inTable, finished } section = searching;
  bool inCell = false;
  int month = 0;
  int count = 0;
  for (const std::string& raw : literalLines(bytes)) {
    const std::string line = common::decodeAnsi(raw);
    if (section == searching) {
      if (line == "<div class=\"CikkArticleTableBorder\">") section = inTable;
      continue;
    }
    if (section == finished) continue;
    if (line == "</div>" ||
        line == "<p align=\"center\">&nbsp;<strong> 2017. &eacute;v</strong><strong></strong>") {
      section = finished;
      continue;
    }
    if (line.find("<p>") != std::string::npos ||
        line.find("</td><td align=\"center\"") != std::string::npos) {
      inCell = true;
    }
    if (inCell) {
      for (int m = 1; m <= 12; ++m) {
        for (const char* form : kMonths[static_cast<std::size_t>(m - 1)]) {
          if (line.find(form) != std::string::npos) {
            month = m;
            count = 0;
          }
        }
      }
      if (month != 0) {
        std::string text;
        for (std::size_t at = 0; at < line.size();) {
          if (line.compare(at, 6, "style9") == 0) {
            text += 's';
            at += 6;
          } else {
            text += line[at++];
          }
        }
        std::string digits;
        for (const char c : text) {
          if (month == 0) break;
          if (c < '0' || c > '9') continue;
          digits += c;
          if (digits.size() < 3) continue;
          const auto price = static_cast<float>(std::stoi(digits));
          digits.clear();
          common::THaviAr& row = haviarak[month];
          switch (++count) {
            case 1:
              row.esz95 = price;
              break;
            case 2:
              row.gazolaj = price;
              break;
            case 3:
              row.keverek = price;
              break;
            default:
              row.lpg = price;
              count = 0;
              month = 0;
              break;
          }
        }
      }
    }
    if (line.find("/p>") != std::string::npos) inCell = false;
  }
}

}  // namespace netupdate::parse::testing
