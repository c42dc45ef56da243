#include "cli/nav_prices.h"

#include <cstddef>
#include <optional>

namespace netupdate::cli {

namespace {

struct HostCategory {
  const char* megnev;
  nav::Fuel fuel;
  float common::THaviAr::*price;
};

// The reconciliation matches these names exactly, as the host stores them.
constexpr HostCategory kHostCategories[] = {
    {"Benzin ESZ-95", nav::Fuel::Esz95, &common::THaviAr::esz95},
    {"Gázolaj", nav::Fuel::Gazolaj, &common::THaviAr::gazolaj},
    {"Keverék", nav::Fuel::Keverek, &common::THaviAr::keverek},
    {"LPG autógáz", nav::Fuel::Lpg, &common::THaviAr::lpg},
};

constexpr double kHighestPrice = 1e6;

// Where one category's prices come from: nothing, one column, or a pair.
struct Columns {
  std::optional<std::size_t> only;
  std::optional<std::size_t> capped;
  std::optional<std::size_t> market;
};

Columns columnsOf(const nav::NavTable& table, const HostCategory& category) {
  std::vector<std::size_t> found;
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].fuel == category.fuel) found.push_back(i);
  }
  if (found.empty()) return {};
  // A lone capped or market column is the only price there is.
  if (found.size() == 1) return {found.front(), {}, {}};
  if (found.size() == 2) {
    const nav::Pricing first = table.columns[found[0]].pricing;
    const nav::Pricing second = table.columns[found[1]].pricing;
    if (first == nav::Pricing::Capped && second == nav::Pricing::Market) {
      return {{}, found[0], found[1]};
    }
    if (first == nav::Pricing::Market && second == nav::Pricing::Capped) {
      return {{}, found[1], found[0]};
    }
  }
  std::string labels;
  for (const std::size_t i : found) {
    labels += (labels.empty() ? "\"" : ", \"") + table.columns[i].label + "\"";
  }
  throw ENavColumnsError("the table has " + std::to_string(found.size()) + " columns for " +
                         category.megnev + " (" + labels +
                         "), not a capped and a market one: which the host should take can't "
                         "be told");
}

}  // namespace

std::vector<PricingPair> pricingPairs(const nav::NavTable& table) {
  std::vector<PricingPair> pairs;
  for (const HostCategory& category : kHostCategories) {
    const Columns columns = columnsOf(table, category);
    if (columns.capped && columns.market) {
      pairs.push_back({category.megnev, table.columns[*columns.capped].label,
                       table.columns[*columns.market].label});
    }
  }
  return pairs;
}

common::THaviArak hostPrices(const nav::NavTable& table, nav::Pricing choice) {
  common::THaviArak haviarak;
  for (const HostCategory& category : kHostCategories) {
    const Columns columns = columnsOf(table, category);
    std::optional<std::size_t> first = columns.only;
    std::optional<std::size_t> second;
    if (columns.capped && columns.market) {
      if (choice == nav::Pricing::None) {
        throw ENavColumnsError(std::string(category.megnev) + " has a capped and a market price");
      }
      first = choice == nav::Pricing::Capped ? columns.capped : columns.market;
      second = choice == nav::Pricing::Capped ? columns.market : columns.capped;
    }
    if (!first) continue;
    for (int month = 1; month <= 12; ++month) {
      const auto& prices = table.months[static_cast<std::size_t>(month - 1)];
      std::optional<double> price = prices.at(*first);
      if (!price && second) price = prices.at(*second);
      if (!price) continue;
      // The host keeps prices as 32-bit floats; nothing near their limit is a fuel price.
      if (!(*price >= 0 && *price < kHighestPrice)) {
        throw ENavColumnsError("the price " + std::to_string(*price) + " for " + category.megnev +
                               " in month " + std::to_string(month) + " is not a fuel price");
      }
      haviarak[month].*category.price = static_cast<float>(*price);
    }
  }
  return haviarak;
}

}  // namespace netupdate::cli
