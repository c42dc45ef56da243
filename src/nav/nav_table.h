#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"

namespace netupdate::nav {

// A year's fuel prices as NAV's current site publishes them: one table per
// year page, its layout changing from year to year.

enum class Fuel { Esz95, Gazolaj, Keverek, Lpg, Cng };

// Years with a price cap give a fuel two columns: the capped ("védett ár",
// "hatósági árszabás") and the market price ("piaci árszabás").
enum class Pricing { None, Capped, Market };

struct NavColumn {
  Fuel fuel;
  Pricing pricing;
  std::string unit;   // "Ft/l" or "Ft/kg"
  std::string label;  // header cell text, blanks collapsed
};

struct NavTable {
  int year = 0;
  // Table order, without the month column.
  std::vector<NavColumn> columns;
  // months[m-1][column]; nullopt = no price; always columns.size() entries.
  std::array<std::vector<std::optional<double>>, 12> months;
  // Months with at least one row on the page, ascending.
  std::vector<int> monthsFound() const;
  // months[m-1] came from a row of the page (a row of dashes too).
  std::array<bool, 12> monthOnPage{};
};

// The reason a page's table can't be used, in English, naming what was found.
class ENavTableError : public common::Error {
  using common::Error::Error;
};

inline constexpr std::size_t kMaxPageBytes = 8 * 1024 * 1024;

// Reads the table of year from a page, plain markup or JSON-escaped. With
// nullopt the page's own year is read: that of the first table whose first
// cell names a year. Throws ENavTableError, and returns nothing partial,
// when the table is missing or not one the reader can trust.
NavTable readNavTable(std::string_view page, std::optional<int> year);

const char* fuelKey(Fuel fuel);           // "esz95", "gazolaj", "keverek", "lpg", "cng"
const char* pricingKey(Pricing pricing);  // "capped", "market", nullptr for None

}  // namespace netupdate::nav
