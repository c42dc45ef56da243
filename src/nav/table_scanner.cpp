#include "nav/table_scanner.h"

#include <algorithm>

#include "nav/html_text.h"
#include "nav/markup_scanner.h"
#include "nav/nav_table.h"

namespace netupdate::nav {

namespace {

using Kind = MarkupToken::Kind;

// One table open in the markup, from its <table> to its </table>.
struct OpenTable {
  enum class State { Undecided, Kept, Ignored };
  State state = State::Undecided;
  bool inRow = false;
  bool inCell = false;
  std::string cell;
  std::vector<std::string> row;
  ScannedTable table;
};

class Scanner {
 public:
  Scanner(std::optional<int> year, TableSearch& search) : m_year(year), m_search(search) {}

  // False once the year's table is closed and recorded.
  bool token(const MarkupToken& token);
  // The markup ended with tables still open: they end there.
  void finish() {
    while (!m_open.empty() && !m_search.found) closeTable();
  }

 private:
  bool collecting() const {
    return !m_open.empty() && m_open.back().inCell &&
           m_open.back().state != OpenTable::State::Ignored;
  }
  bool keptTableOpen() const {
    for (const OpenTable& open : m_open) {
      if (open.state == OpenTable::State::Kept) return true;
    }
    return false;
  }
  void openTable();
  void closeTable();
  void openRow();
  void closeRow();
  void openCell(std::string_view attributes);
  void closeCell();
  void append(std::string_view text);

  std::optional<int> m_year;
  TableSearch& m_search;
  std::vector<OpenTable> m_open;
};

bool Scanner::token(const MarkupToken& token) {
  if (token.kind == Kind::Text) {
    if (collecting()) append(token.text);
    return true;
  }
  if (token.isTag(Kind::StartTag, "table")) {
    openTable();
  } else if (token.isTag(Kind::EndTag, "table")) {
    if (!m_open.empty()) closeTable();
  } else if (m_open.empty()) {
    return true;
  } else if (token.isTag(Kind::StartTag, "tr")) {
    openRow();
  } else if (token.isTag(Kind::EndTag, "tr")) {
    closeRow();
  } else if (token.isTag(Kind::StartTag, "td") || token.isTag(Kind::StartTag, "th")) {
    openCell(token.attributes);
  } else if (token.isTag(Kind::EndTag, "td") || token.isTag(Kind::EndTag, "th")) {
    closeCell();
  } else if (token.isTag(Kind::StartTag, "br") || token.isTag(Kind::EndTag, "br")) {
    if (collecting()) append(" ");
  }
  return !m_search.found;
}

void Scanner::openTable() {
  if (m_open.size() >= kMaxTableDepth) {
    throw ENavTableError("The page nests tables more than " + std::to_string(kMaxTableDepth) +
                         " deep; it is not read.");
  }
  const bool insideKept = keptTableOpen();
  if (!m_open.empty()) m_open.back().table.holdsTable = true;
  OpenTable table;
  if (insideKept) table.state = OpenTable::State::Ignored;
  m_open.push_back(std::move(table));
}

void Scanner::closeTable() {
  closeRow();
  OpenTable closed = std::move(m_open.back());
  m_open.pop_back();
  if (closed.state == OpenTable::State::Kept) m_search.found = std::move(closed.table);
}

void Scanner::openRow() {
  closeRow();
  m_open.back().inRow = true;
}

void Scanner::closeRow() {
  OpenTable& open = m_open.back();
  closeCell();
  if (!open.row.empty() && open.state == OpenTable::State::Kept) {
    open.table.rows.push_back(std::move(open.row));
  }
  open.row.clear();
  open.inRow = false;
}

void Scanner::openCell(std::string_view attributes) {
  OpenTable& open = m_open.back();
  closeCell();
  open.inRow = true;
  open.inCell = true;
  if (attributeValue(attributes, "colspan")) open.table.hasColspan = true;
  if (attributeValue(attributes, "rowspan")) open.table.hasRowspan = true;
}

void Scanner::closeCell() {
  OpenTable& open = m_open.back();
  if (!open.inCell) return;
  open.inCell = false;
  if (open.state == OpenTable::State::Ignored) return;
  std::string text = collapseBlanks(open.cell);
  open.cell.clear();
  if (open.state == OpenTable::State::Undecided) {
    const std::optional<int> named = yearNamedBy(text);
    if (named && (!m_year || *named == *m_year) && !keptTableOpen()) {
      open.state = OpenTable::State::Kept;
      open.table.year = *named;
    } else {
      if (named && !m_search.otherYear) m_search.otherYear = named;
      open.state = OpenTable::State::Ignored;
      open.row.clear();
      return;
    }
  }
  if (open.row.size() == kMaxRowCells) {
    open.table.rowTooWide = true;
    return;
  }
  open.row.push_back(std::move(text));
}

void Scanner::append(std::string_view raw) {
  OpenTable& open = m_open.back();
  if (open.table.cellTooLong && open.cell.size() >= kMaxCellBytes) return;
  // Decoding never makes a byte into more than three, so a piece of the raw
  // text just over what is left is enough to tell that the cell is too long.
  const std::size_t room = kMaxCellBytes - std::min(open.cell.size(), kMaxCellBytes);
  appendDecodedText(raw.substr(0, room + 1), open.cell);
  if (open.cell.size() > kMaxCellBytes) {
    open.cell.resize(kMaxCellBytes);
    open.table.cellTooLong = true;
  }
}

}  // namespace

std::optional<int> yearNamedBy(std::string_view cellText) {
  if (cellText.size() < 4) return std::nullopt;
  int year = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    if (cellText[i] < '0' || cellText[i] > '9') return std::nullopt;
    year = year * 10 + (cellText[i] - '0');
  }
  if (cellText.size() > 4 && cellText[4] >= '0' && cellText[4] <= '9') return std::nullopt;
  if (year < 1900) return std::nullopt;
  return year;
}

void findYearTable(std::string_view markup, std::optional<int> year, TableSearch& search) {
  Scanner scanner(year, search);
  MarkupScanner tokens(markup);
  for (MarkupToken token = tokens.next(); token.kind != Kind::End; token = tokens.next()) {
    if (!scanner.token(token)) return;
  }
  scanner.finish();
}

}  // namespace netupdate::nav
