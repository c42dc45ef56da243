#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "nav/nav_table.h"

namespace netupdate::nav {

// What one cell of a year's table says, read from its text (tags removed,
// references decoded, blanks collapsed).

struct PriceCell {
  bool valid = false;
  std::optional<double> price;  // nullopt for "-" or an empty cell
};
// Digits with optional blanks between the thousands and an optional decimal
// comma or point ("1 234", "598,5"), with or without "Ft" behind; "-" or
// nothing is no price; anything else is not valid.
PriceCell readPrice(std::string_view text);

struct MonthCell {
  int month = 0;               // 1..12, 0 when the text is not a month's name
  std::optional<int> ownYear;  // the year in "december (2024)"
};
MonthCell readMonth(std::string_view text);

// Every fuel the label's words name; more than one or none is for the caller to refuse.
struct FuelWords {
  std::optional<Fuel> fuel;
  int fuelsNamed = 0;
  Pricing pricing = Pricing::None;
  bool pricingConflicts = false;
  std::string unit;  // "Ft/kg" or "Ft/l"; from the fuel when the label gives none
};
FuelWords readFuelLabel(std::string_view label);

}  // namespace netupdate::nav
