#include "parse/price_scanner.h"

#include <cstring>

#include "parse/month_names.h"

namespace netupdate::parse {

namespace {

constexpr std::string_view kTableStart = "<div class=\"CikkArticleTableBorder\">";
constexpr std::string_view kTableEnd = "</div>";
// The heading of the previous year's table, which follows ours on the page;
// fixed text, it does not move with the price year.
constexpr std::string_view kPreviousYearHeading =
    "<p align=\"center\">&nbsp;<strong> 2017. &eacute;v</strong><strong></strong>";
constexpr std::string_view kCellOpener = "<p>";
constexpr std::string_view kCentredCellOpener = "</td><td align=\"center\"";
constexpr std::string_view kCellCloser = "/p>";
// The page's cell class; its 9 is not a digit of a price.
constexpr std::string_view kStyleClass = "style9";

bool contains(std::string_view text, std::string_view part) {
  return ::memmem(text.data(), text.size(), part.data(), part.size()) != nullptr;
}

}  // namespace

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
  if (!m_inCell && (contains(text, kCellOpener) || contains(text, kCentredCellOpener))) {
    m_inCell = true;
  }
  if (m_inCell) examine(text);
  if (contains(text, kCellCloser)) m_inCell = false;
}

void PriceScanner::examine(std::string_view text) {
  if (const int named = highestMonthNamed(text); named != 0) {
    m_month = named;
    // A row with fewer than four prices must not pass its count on: the next
    // month's first price would be filed as that month's LPG price.
    m_count = 0;
  }
  if (m_month == 0) return;

  const char* const data = text.data();
  const std::size_t size = text.size();
  int digits = 0;
  int value = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const auto digit = static_cast<unsigned>(data[i] - '0');
    if (digit > 9) continue;
    // Skipping the 9 of "style9" is the same as replacing the class name by
    // "s" first: occurrences of it cannot overlap, and the letters replaced
    // are no digits anyway.
    if (digit == 9 && i >= kStyleClass.size() - 1 &&
        std::memcmp(data + i - (kStyleClass.size() - 1), kStyleClass.data(),
                    kStyleClass.size() - 1) == 0) {
      continue;
    }
    value = value * 10 + static_cast<int>(digit);
    if (++digits < 3) continue;
    ++m_count;
    ArTarol(value);
    digits = 0;
    value = 0;
    if (m_count == 4) {
      m_count = 0;
      m_month = 0;
      return;
    }
  }
  // One or two digits left over at the line end are dropped.
}

void scanPage(LineReader& lines, common::THaviArak& haviarak) {
  PriceScanner scanner(haviarak);
  std::string_view line;
  while (!scanner.finished() && lines.next(line)) scanner.line(line);
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
