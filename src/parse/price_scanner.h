#pragma once

#include <string_view>

#include "common/prices.h"
#include "parse/line_facts.h"
#include "parse/line_reader.h"

namespace netupdate::parse {

// Reads the monthly prices out of the page's lines, one line at a time. The
// page is not parsed as HTML: whole-line markers delimit the price table,
// cell markers say which lines to look at, and on those lines a month name
// selects the row while every three digits make the next price of that row.
// Only cells for which a price is found are written.
class PriceScanner {
 public:
  explicit PriceScanner(common::THaviArak& haviarak) : m_haviarak(haviarak) {}

  // One line of the page, without its line end.
  void line(std::string_view text);

  // The longest line that can still matter: before the table only a line
  // equal to its start marker does, so longer ones need not be read whole.
  std::size_t lineLimit() const;

  // True once the table has ended: later lines can change nothing.
  bool finished() const { return m_section == Section::finished; }

 private:
  enum class Section { searching, inTable, finished };

  void examine(const LineFacts& facts);
  void ArTarol(int price);

  common::THaviArak& m_haviarak;
  Section m_section = Section::searching;
  bool m_inCell = false;
  int m_month = 0;  // 0: none selected
  int m_count = 0;  // prices stored for m_month so far
};

// Feeds every line of the page to a fresh scanner, then reads the rest of
// the input: a page that cannot be read to its end is an error even when the
// table was complete. Errors of the source pass through; prices stored
// before one stay in haviarak.
void scanPage(LineReader& lines, common::THaviArak& haviarak);

}  // namespace netupdate::parse
