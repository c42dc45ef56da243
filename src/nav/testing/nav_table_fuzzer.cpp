#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "nav/nav_table.h"

namespace {

using netupdate::nav::NavTable;

bool validUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0x80) {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0u) != 0x80u) return false;
    }
    i += length;
  }
  return true;
}

void check(bool holds) {
  if (!holds) std::abort();
}

bool same(const NavTable& left, const NavTable& right) {
  if (left.year != right.year || left.columns.size() != right.columns.size()) return false;
  for (std::size_t i = 0; i < left.columns.size(); ++i) {
    const auto& a = left.columns[i];
    const auto& b = right.columns[i];
    if (a.fuel != b.fuel || a.pricing != b.pricing || a.unit != b.unit || a.label != b.label) {
      return false;
    }
  }
  return left.months == right.months && left.monthOnPage == right.monthOnPage;
}

}  // namespace

// Whatever the page, the reader either refuses it or gives a table a JSON
// writer can take: every month as wide as the header, labels in valid
// UTF-8, a host fuel among the columns. Asking for the year it found gives
// the same table again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view page(reinterpret_cast<const char*>(data), size);
  NavTable own;
  try {
    own = netupdate::nav::readNavTable(page, std::nullopt);
  } catch (const netupdate::nav::ENavTableError& error) {
    check(validUtf8(error.what()));
    return 0;
  }
  bool hostFuel = false;
  for (const auto& column : own.columns) {
    check(validUtf8(column.label));
    check(column.unit == "Ft/l" || column.unit == "Ft/kg");
    hostFuel = hostFuel || column.fuel != netupdate::nav::Fuel::Cng;
  }
  check(hostFuel);
  std::size_t found = 0;
  for (std::size_t month = 0; month < 12; ++month) {
    check(own.months[month].size() == own.columns.size());
    for (const auto& price : own.months[month]) {
      check(!price || (*price >= 0 && *price < 1e7));
      check(!price || own.monthOnPage[month]);
    }
    if (own.monthOnPage[month]) ++found;
  }
  check(own.monthsFound().size() == found);
  check(same(own, netupdate::nav::readNavTable(page, own.year)));
  return 0;
}
