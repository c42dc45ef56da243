#include "download/cookie_date.h"

#include <array>
#include <string_view>
#include <vector>

namespace netupdate::download {

namespace {

bool isDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads minDigits..maxDigits digits at the front; the next character, if
// any, must not be a digit. Returns the count read, 0 on no match.
std::size_t readDigits(std::string_view text, std::size_t minDigits, std::size_t maxDigits,
                       int& value) {
  std::size_t count = 0;
  value = 0;
  while (count < text.size() && isDigit(text[count])) {
    if (++count > maxDigits) return 0;
    value = value * 10 + (text[count - 1] - '0');
  }
  return count >= minDigits ? count : 0;
}

// hms-time = time-field ":" time-field ":" time-field, each 1*2DIGIT, then
// nothing or a non-digit followed by anything.
bool matchTime(std::string_view token, int& hour, int& minute, int& second) {
  std::array<int*, 3> fields{&hour, &minute, &second};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t used = 0;
    int value = 0;
    while (used < token.size() && used < 3 && isDigit(token[used])) {
      value = value * 10 + (token[used] - '0');
      ++used;
    }
    if (used == 0 || used > 2) return false;
    *fields[i] = value;
    token.remove_prefix(used);
    if (i < 2) {
      if (token.empty() || token.front() != ':') return false;
      token.remove_prefix(1);
    }
  }
  return token.empty() || !isDigit(token.front());
}

int matchMonth(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths{
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return 0;
  char prefix[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const char c = token[i];
    prefix[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (std::string_view(prefix, 3) == kMonths[i]) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

}  // namespace

std::int64_t secondsSinceEpoch(int year, int month, int day, int hour, int minute, int second) {
  // Days from 1970-01-01 by the civil-calendar formula: shift the year to
  // start in March so the leap day falls at its end.
  const std::int64_t y = static_cast<std::int64_t>(year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t monthFromMarch = month > 2 ? month - 3 : month + 9;
  const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const std::int64_t days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

std::optional<std::int64_t> parseCookieDate(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || isDelimiter(static_cast<unsigned char>(text[i]))) {
      if (i > start) tokens.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }

  bool foundTime = false;
  bool foundDay = false;
  bool foundMonth = false;
  bool foundYear = false;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int day = 0;
  int month = 0;
  int year = 0;
  for (const std::string_view token : tokens) {
    int h = 0;
    int m = 0;
    int s = 0;
    if (!foundTime && matchTime(token, h, m, s)) {
      foundTime = true;
      hour = h;
      minute = m;
      second = s;
      continue;
    }
    int value = 0;
    if (!foundDay && readDigits(token, 1, 2, value) != 0) {
      foundDay = true;
      day = value;
      continue;
    }
    if (!foundMonth) {
      if (const int found = matchMonth(token); found != 0) {
        foundMonth = true;
        month = found;
        continue;
      }
    }
    if (!foundYear && readDigits(token, 2, 4, value) != 0) {
      foundYear = true;
      year = value;
    }
  }

  if (year >= 70 && year <= 99) year += 1900;
  if (year >= 0 && year <= 69) year += 2000;
  if (!foundTime || !foundDay || !foundMonth || !foundYear) return std::nullopt;
  if (day < 1 || day > 31 || year < 1601 || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  if (day > daysInMonth(year, month)) return std::nullopt;
  return secondsSinceEpoch(year, month, day, hour, minute, second);
}

}  // namespace netupdate::download
