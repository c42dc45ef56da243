#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace netupdate::common {

// The price year: it names the developer database folder and dates every price written.
inline constexpr const char* ev = "2018";

// One month of NAV prices in forints; 0 means no price.
struct THaviAr {
  float esz95 = 0;
  float keverek = 0;
  float gazolaj = 0;
  float lpg = 0;

  friend bool operator==(const THaviAr&, const THaviAr&) = default;
};

// Months 1 (January) to 12 (December).
class THaviArak {
 public:
  THaviAr& operator[](int month) { return m_rows.at(static_cast<std::size_t>(month - 1)); }
  const THaviAr& operator[](int month) const {
    return m_rows.at(static_cast<std::size_t>(month - 1));
  }
  friend bool operator==(const THaviArak&, const THaviArak&) = default;

 private:
  std::array<THaviAr, 12> m_rows{};
};

// A fuel type of the host database with the NAV category it is priced by.
struct TUza {
  std::int32_t uzaid = 0;
  std::string megnev;   // NAV category name
  std::string umegnev;  // the fuel type's own name
};

using TUzaArray = std::vector<TUza>;

}  // namespace netupdate::common
