#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace netupdate::nav {

// A year's table as it stands in the markup, before its cells are read:
// each row's cell texts (tags removed, references decoded, blanks
// collapsed), rows without cells left out. The first row is the header.
struct ScannedTable {
  int year = 0;
  std::vector<std::vector<std::string>> rows;
  bool hasColspan = false;
  bool hasRowspan = false;
  bool holdsTable = false;
  bool cellTooLong = false;
  bool rowTooWide = false;
};

struct TableSearch {
  std::optional<ScannedTable> found;
  // The first other year a table named, for telling the user what is there.
  std::optional<int> otherYear;
};

inline constexpr std::size_t kMaxCellBytes = 4 * 1024;
inline constexpr std::size_t kMaxTableDepth = 16;
// NAV's widest table has eight columns; a row far wider is not one of them.
inline constexpr std::size_t kMaxRowCells = 64;

// The year a table's first cell names: the cell starts with it ("2026.év",
// "2022. év"); nullopt when it names none.
std::optional<int> yearNamedBy(std::string_view cellText);

// Reads markup's tables in page order until one whose first cell names year
// (any year when year is nullopt) is closed, and records it in search. Only
// that table's cells are kept, so memory stays with the page's size. A
// table nested in a table that is being kept is not itself a candidate.
// Throws ENavTableError for tables nested deeper than kMaxTableDepth.
void findYearTable(std::string_view markup, std::optional<int> year, TableSearch& search);

}  // namespace netupdate::nav
