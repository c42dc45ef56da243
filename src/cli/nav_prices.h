#pragma once

#include <string>
#include <vector>

#include "common/error.h"
#include "common/prices.h"
#include "nav/nav_table.h"

namespace netupdate::cli {

// A host category whose fuel has a capped and a market column on the page:
// which of the two it takes is the user's choice.
struct PricingPair {
  std::string category;  // the host's name, "Benzin ESZ-95"
  std::string capped;    // the columns' labels on the page
  std::string market;
};

// A table whose columns the host's categories can't take without a guess:
// a fuel with two columns that are not a capped and a market one.
class ENavColumnsError : public common::Error {
  using common::Error::Error;
};

std::vector<PricingPair> pricingPairs(const nav::NavTable& table);

// The host's four categories priced from the table, 0 where a month has no
// price. Where a category has a pair, `choice` takes its price in the
// months that have one and the other column's in the rest; a pair with
// Pricing::None as the choice, or columns the host can't take, throw.
// CNG has no host category and is never taken.
common::THaviArak hostPrices(const nav::NavTable& table, nav::Pricing choice);

}  // namespace netupdate::cli
