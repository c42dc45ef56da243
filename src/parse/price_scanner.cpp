#include "parse/price_scanner.h"

#include <cstring>

#include "parse/line_facts.h"

namespace netupdate::parse {

namespace {

constexpr std::string_view kTableStart = "<div class=\"CikkArticleTableBorder\">";
constexpr std::string_view kTableEnd = "</div>";
// The heading of the previous year's table, which follows ours on the page;
// fixed text, it does not move with the price year.
constexpr std::string_view kPreviousYearHeading =
    "<p align=\"center\">&nbsp;<strong> 2017. &eacute;v</strong><strong></strong>";
constexpr std::string_view kCentredCellOpener = "</td><td align=\"center\"";

}  // namespace

std::size_t PriceScanner::lineLimit() const {
  return m_section == Section::searching ? kTableStart.size() : std::string_view::npos;
}

void PriceScanner::line(std::string_view text) {
  switch (m_section) {
    case Section::searching:
      // The start line only opens the table; no cell is open on it.
      if (text == kTableStart) m_section = Section::inTable;
      return;
    case Section::inTable:
      break;
    case Section::finished:
      return;
  }
  if (text == kTableEnd || text == kPreviousYearHeading) {
    m_section = Section::finished;
    return;
  }
  const LineFacts facts = lineFacts(text);
  if (!m_inCell && (facts.cellOpener || text.find(kCentredCellOpener) != std::string_view::npos)) {
    m_inCell = true;
  }
  if (m_inCell) examine(facts);
  if (facts.cellCloser) m_inCell = false;
}

void PriceScanner::examine(const LineFacts& facts) {
  if (facts.month != 0) {
    m_month = facts.month;
    // A row with fewer than four prices must not pass its count on: the next
    // month's first price would be filed as that month's LPG price.
    m_count = 0;
  }
  if (m_month == 0) return;
  // Every three digits, joined across whatever stands between them, make the
  // next price; one or two left over at the line end are dropped.
  for (int first = 0; first + 3 <= facts.digitCount; first += 3) {
    const auto* digit = &facts.digits[static_cast<std::size_t>(first)];
    ++m_count;
    ArTarol(digit[0] * 100 + digit[1] * 10 + digit[2]);
    if (m_count == 4) {
      m_count = 0;
      m_month = 0;
      return;
    }
  }
}

void scanPage(LineReader& lines, common::THaviArak& haviarak) {
  PriceScanner scanner(haviarak);
  std::string_view line;
  while (!scanner.finished() && lines.next(line, scanner.lineLimit())) {
    if (!lines.lastLineCut()) scanner.line(line);
  }
  lines.drain();
}

// Three ASCII digits always convert to their whole number, so the value is
// built from the digits directly rather than through the text-to-number
// conversion, which would give the same result at many times the cost.
void PriceScanner::ArTarol(int price) {
  common::THaviAr& row = m_haviarak[m_month];
  const auto value = static_cast<float>(price);
  switch (m_count) {
    case 1:
      row.esz95 = value;
      break;
    case 2:
      row.gazolaj = value;
      break;
    case 3:
      row.keverek = value;
      break;
    default:
      row.lpg = value;
      break;
  }
}

}  // namespace netupdate::parse
