#include "nav/nav_table.h"

#include <map>
#include <utility>

#include "nav/cell_values.h"
#include "nav/page_forms.h"
#include "nav/table_scanner.h"

namespace netupdate::nav {

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "január", "február",   "március",    "április", "május",    "június",
    "július", "augusztus", "szeptember", "október", "november", "december"};

// Cell text quoted in a message, cut short (on a character boundary) so a
// page full of junk gives a readable line.
std::string quoted(std::string_view text) {
  constexpr std::size_t kLongest = 80;
  if (text.size() <= kLongest) return "\"" + std::string(text) + "\"";
  std::size_t cut = kLongest;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0u) == 0x80u) --cut;
  return "\"" + std::string(text.substr(0, cut)) + "…\"";
}

std::string columnName(std::size_t column, const std::string& label) {
  return "column " + std::to_string(column + 1) + " (" + quoted(label) + ")";
}

std::string columnsListed(const std::vector<std::string>& header) {
  std::string list;
  for (std::size_t i = 1; i < header.size(); ++i) {
    if (!list.empty()) list += ", ";
    list += quoted(header[i]);
  }
  return list.empty() ? "none" : list;
}

class TableReading {
 public:
  explicit TableReading(ScannedTable scanned)
      : m_scanned(std::move(scanned)), m_name("The table for " + std::to_string(m_scanned.year)) {}

  NavTable read();

 private:
  [[noreturn]] void refuse(const std::string& why) const { throw ENavTableError(m_name + why); }
  void readColumns();
  void readRow(const std::vector<std::string>& row);

  ScannedTable m_scanned;
  std::string m_name;
  NavTable m_table;
};

NavTable TableReading::read() {
  if (m_scanned.hasColspan) refuse(" has cells joined with colspan; it is not read.");
  if (m_scanned.hasRowspan) refuse(" has cells joined with rowspan; it is not read.");
  if (m_scanned.holdsTable) refuse(" holds another table in a cell; it is not read.");
  if (m_scanned.cellTooLong) {
    refuse(" has a cell of more than " + std::to_string(kMaxCellBytes) + " bytes; it is not read.");
  }
  if (m_scanned.rowTooWide) {
    refuse(" has a row of more than " + std::to_string(kMaxRowCells) + " cells; it is not read.");
  }
  m_table.year = m_scanned.year;
  readColumns();
  for (auto& month : m_table.months) {
    month.assign(m_table.columns.size(), std::nullopt);
  }
  for (std::size_t row = 1; row < m_scanned.rows.size(); ++row) readRow(m_scanned.rows[row]);
  return std::move(m_table);
}

void TableReading::readColumns() {
  const std::vector<std::string>& header = m_scanned.rows.front();
  std::map<std::pair<Fuel, Pricing>, std::size_t> seen;
  bool hostFuel = false;
  for (std::size_t column = 1; column < header.size(); ++column) {
    const std::string& label = header[column];
    const FuelWords words = readFuelLabel(label);
    if (words.fuelsNamed == 0) {
      refuse(": " + columnName(column, label) + " names no fuel the reader knows " +
             "(ESZ-95, Gázolaj, Keverék, LPG, CNG).");
    }
    if (words.fuelsNamed > 1)
      refuse(": " + columnName(column, label) + " names more than one fuel.");
    if (words.pricingConflicts) {
      refuse(": " + columnName(column, label) + " names both a capped and a market price.");
    }
    const auto key = std::make_pair(*words.fuel, words.pricing);
    const auto [where, added] = seen.emplace(key, column);
    if (!added) {
      refuse(": " + columnName(where->second, header[where->second]) + " and " +
             columnName(column, label) + " are for the same fuel and pricing.");
    }
    hostFuel = hostFuel || *words.fuel != Fuel::Cng;
    m_table.columns.push_back(NavColumn{*words.fuel, words.pricing, words.unit, label});
  }
  if (!hostFuel) {
    refuse(" has no column for ESZ-95, Gázolaj, Keverék or LPG; its columns: " +
           columnsListed(header) + ".");
  }
}

void TableReading::readRow(const std::vector<std::string>& row) {
  const std::size_t headerCells = m_scanned.rows.front().size();
  if (row.size() > headerCells) {
    refuse(": the row " + quoted(row.front()) + " has " + std::to_string(row.size()) +
           " cells, the header " + std::to_string(headerCells) + ".");
  }
  const MonthCell month = readMonth(row.front());
  if (month.month == 0) {
    bool blank = true;
    for (const std::string& cell : row) blank = blank && cell.empty();
    if (blank) return;
    refuse(": a row starts with " + quoted(row.front()) + ", not with a month's name.");
  }
  // "december (2024)" on the 2025 page is the previous year's December.
  if (month.ownYear && *month.ownYear != m_table.year) return;
  const auto index = static_cast<std::size_t>(month.month - 1);
  if (m_table.monthOnPage[index]) {
    refuse(" lists " + std::string(kMonthNames[index]) + " twice.");
  }
  m_table.monthOnPage[index] = true;
  for (std::size_t cell = 1; cell < row.size(); ++cell) {
    const PriceCell price = readPrice(row[cell]);
    if (!price.valid) {
      refuse(": the price of " + std::string(kMonthNames[index]) + " in " +
             columnName(cell, m_table.columns[cell - 1].label) + " is " + quoted(row[cell]) +
             ", neither a number, \"-\" nor empty.");
    }
    m_table.months[index][cell - 1] = price.price;
  }
}

}  // namespace

std::vector<int> NavTable::monthsFound() const {
  std::vector<int> found;
  for (std::size_t month = 0; month < monthOnPage.size(); ++month) {
    if (monthOnPage[month]) found.push_back(static_cast<int>(month + 1));
  }
  return found;
}

NavTable readNavTable(std::string_view page, std::optional<int> year) {
  if (page.size() > kMaxPageBytes) {
    throw ENavTableError("The page has " + std::to_string(page.size()) +
                         " bytes; a page of more than " + std::to_string(kMaxPageBytes) +
                         " bytes (8 MiB) is not read.");
  }
  TableSearch search;
  findYearTable(page, year, search);
  if (!search.found) {
    for (const std::string& markup : escapedMarkup(page)) {
      findYearTable(markup, year, search);
      if (search.found) break;
    }
  }
  if (!search.found) {
    if (!year) throw ENavTableError("The page has no table whose first cell names a year.");
    std::string message = "The page has no table for " + std::to_string(*year);
    if (search.otherYear) {
      message += ", only one for " + std::to_string(*search.otherYear);
    } else {
      message += " (no table whose first cell names a year)";
    }
    throw ENavTableError(message + ".");
  }
  return TableReading(std::move(*search.found)).read();
}

const char* fuelKey(Fuel fuel) {
  switch (fuel) {
    case Fuel::Esz95:
      return "esz95";
    case Fuel::Gazolaj:
      return "gazolaj";
    case Fuel::Keverek:
      return "keverek";
    case Fuel::Lpg:
      return "lpg";
    case Fuel::Cng:
      return "cng";
  }
  return "";
}

const char* pricingKey(Pricing pricing) {
  switch (pricing) {
    case Pricing::Capped:
      return "capped";
    case Pricing::Market:
      return "market";
    case Pricing::None:
      break;
  }
  return nullptr;
}

}  // namespace netupdate::nav
