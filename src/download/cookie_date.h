#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace netupdate::download {

// Seconds since 1970-01-01 00:00:00 UTC of a cookie's Expires value, read by
// the lenient cookie-date algorithm servers rely on (any of the usual date
// formats); nullopt when it yields no valid date.
std::optional<std::int64_t> parseCookieDate(std::string_view text);

// Seconds since the epoch of a proleptic Gregorian UTC date and time.
std::int64_t secondsSinceEpoch(int year, int month, int day, int hour, int minute, int second);

}  // namespace netupdate::download
