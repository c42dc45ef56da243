#include "common/format_settings.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/ascii.h"
#include "common/error.h"

namespace netupdate::common {

namespace {

bool isLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

std::string twoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

std::string trimBlanks(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) ++begin;
  while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
  return std::string(text.substr(begin, end - begin));
}

// Decimal digits of |value| rounded half away from zero to `decimals` places.
// Starts from 15 significant digits, so a float widened to double (405.37f is
// 405.3699951...) is rounded as the number it was meant to be.
std::string roundedDigits(double value, int decimals, int& integerDigits) {
  // to_chars, unlike printf, ignores the C locale that the window toolkit sets.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer - 1, std::fabs(value),
                                    std::chars_format::scientific, 14);
  *result.ptr = '\0';
  // buffer: d.dddddddddddddde[+-]XX
  std::string digits;
  digits += buffer[0];
  digits.append(buffer + 2, 14);
  const int exponent = std::atoi(std::strchr(buffer, 'e') + 1);
  integerDigits = exponent + 1;
  int keep = integerDigits + decimals;
  if (keep < 0) {
    integerDigits = 0;
    return std::string();
  }
  if (keep < static_cast<int>(digits.size())) {
    const bool roundUp = digits[static_cast<std::size_t>(keep)] >= '5';
    digits.resize(static_cast<std::size_t>(keep));
    if (roundUp) {
      int i = keep - 1;
      while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9') {
        digits[static_cast<std::size_t>(i)] = '0';
        --i;
      }
      if (i >= 0) {
        ++digits[static_cast<std::size_t>(i)];
      } else {
        digits.insert(digits.begin(), '1');
        ++integerDigits;
      }
    }
  } else {
    digits.append(static_cast<std::size_t>(keep) - digits.size(), '0');
  }
  return digits;
}

}  // namespace

bool isValidDate(const Date& date) {
  return date.year >= 1 && date.year <= 9999 && date.month >= 1 && date.month <= 12 &&
         date.day >= 1 && date.day <= daysInMonth(date.year, date.month);
}

int dayOfWeek(const Date& date) {
  // Sakamoto's method.
  static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  int year = date.year - (date.month < 3 ? 1 : 0);
  return (year + year / 4 - year / 100 + year / 400 + kOffsets[date.month - 1] + date.day) % 7;
}

const FormatSettings& formatSettings() {
  static const FormatSettings settings;
  return settings;
}

std::string formatDate(std::string_view pattern, const Date& date, const FormatSettings& settings) {
  std::string out;
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    const char letter = lowerAscii(pattern[pos]);
    if (letter != 'y' && letter != 'm' && letter != 'd') {
      out += pattern[pos++];
      continue;
    }
    std::size_t run = 1;
    while (pos + run < pattern.size() && lowerAscii(pattern[pos + run]) == letter) ++run;
    pos += run;
    if (letter == 'y') {
      if (run >= 3) {
        char buffer[16];
        std::snprintf(buffer, sizeof buffer, "%04d", date.year);
        out += buffer;
      } else {
        out += twoDigits(date.year % 100);
      }
    } else if (letter == 'm') {
      if (run >= 4) {
        out += settings.longMonthNames[static_cast<std::size_t>(date.month - 1)];
      } else if (run == 3) {
        out += settings.shortMonthNames[static_cast<std::size_t>(date.month - 1)];
      } else {
        out += run == 2 ? twoDigits(date.month) : std::to_string(date.month);
      }
    } else {
      if (run >= 4) {
        out += settings.longDayNames[static_cast<std::size_t>(dayOfWeek(date))];
      } else if (run == 3) {
        out += settings.shortDayNames[static_cast<std::size_t>(dayOfWeek(date))];
      } else {
        out += run == 2 ? twoDigits(date.day) : std::to_string(date.day);
      }
    }
  }
  return out;
}

Date parseDate(std::string_view text, const FormatSettings& settings) {
  const std::string trimmed = trimBlanks(text);
  const auto fail = [&]() -> Error {
    return Error("'" + std::string(text) + "' is not a valid date");
  };
  int numbers[3] = {};
  int count = 0;
  std::size_t pos = 0;
  while (true) {
    std::size_t start = pos;
    long value = 0;
    while (pos < trimmed.size() && std::isdigit(static_cast<unsigned char>(trimmed[pos]))) {
      value = value * 10 + (trimmed[pos] - '0');
      if (value > 99999) throw fail();
      ++pos;
    }
    if (pos == start || count == 3) throw fail();
    numbers[count++] = static_cast<int>(value);
    if (pos == trimmed.size()) break;
    if (trimmed[pos] != settings.dateSeparator) throw fail();
    ++pos;
  }
  if (count != 3) throw fail();

  // The order of y, m and d in the short date pattern decides which number is which.
  Date date;
  int index = 0;
  bool seen[3] = {false, false, false};
  for (char c : settings.shortDateFormat) {
    const char letter = lowerAscii(c);
    const int slot = letter == 'y' ? 0 : letter == 'm' ? 1 : letter == 'd' ? 2 : -1;
    if (slot < 0 || seen[slot]) continue;
    seen[slot] = true;
    (slot == 0 ? date.year : slot == 1 ? date.month : date.day) = numbers[index++];
  }
  if (index != 3) throw fail();
  if (date.year < 100) date.year += 2000;
  if (!isValidDate(date)) throw fail();
  return date;
}

std::string formatFloat(std::string_view pattern, double value, const FormatSettings& settings) {
  std::string prefix;
  std::string suffix;
  int minIntegerDigits = 0;
  int minDecimals = 0;
  int maxDecimals = 0;
  bool grouping = false;
  bool inDecimals = false;
  bool seenPlaceholder = false;
  for (char c : pattern) {
    const bool placeholder = c == '0' || c == '#';
    if (c == '.' && !inDecimals) {
      inDecimals = true;
      seenPlaceholder = true;
    } else if (placeholder && !inDecimals) {
      if (c == '0') ++minIntegerDigits;
      seenPlaceholder = true;
    } else if (placeholder) {
      ++maxDecimals;
      if (c == '0') minDecimals = maxDecimals;
    } else if (c == ',' && !inDecimals && seenPlaceholder) {
      grouping = true;
    } else {
      (seenPlaceholder ? suffix : prefix) += c;
    }
  }

  int integerDigits = 0;
  std::string digits = roundedDigits(value, maxDecimals, integerDigits);
  std::string integerPart =
      integerDigits > 0 ? digits.substr(0, static_cast<std::size_t>(integerDigits)) : "";
  std::string decimalPart =
      integerDigits >= 0 ? digits.substr(static_cast<std::size_t>(integerDigits))
                         : std::string(static_cast<std::size_t>(-integerDigits), '0') + digits;
  decimalPart.resize(static_cast<std::size_t>(maxDecimals), '0');
  while (static_cast<int>(decimalPart.size()) > minDecimals && decimalPart.back() == '0') {
    decimalPart.pop_back();
  }
  while (!integerPart.empty() && integerPart.front() == '0') integerPart.erase(0, 1);
  if (static_cast<int>(integerPart.size()) < minIntegerDigits) {
    integerPart.insert(0, static_cast<std::size_t>(minIntegerDigits) - integerPart.size(), '0');
  }
  if (grouping) {
    for (int i = static_cast<int>(integerPart.size()) - 3; i > 0; i -= 3) {
      integerPart.insert(static_cast<std::size_t>(i), 1, settings.thousandSeparator);
    }
  }
  const bool isZero = integerPart.find_first_not_of("0,") == std::string::npos &&
                      decimalPart.find_first_not_of('0') == std::string::npos;
  std::string out = prefix;
  if (value < 0 && !isZero) out += '-';
  out += integerPart;
  if (!decimalPart.empty()) {
    out += settings.decimalSeparator;
    out += decimalPart;
  }
  out += suffix;
  return out;
}

double strToFloat(std::string_view text, const FormatSettings& settings) {
  const std::string trimmed = trimBlanks(text);
  const auto fail = [&]() -> Error {
    return Error("'" + std::string(text) + "' is not a valid floating point value");
  };
  // Rewrite into the C library's own form so the user's locale plays no part.
  std::string canonical;
  bool digits = false;
  for (std::size_t i = 0; i < trimmed.size(); ++i) {
    const char c = trimmed[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
      canonical += c;
    } else if (c == settings.decimalSeparator) {
      canonical += '.';
    } else if (c == '+' || c == '-' || c == 'e' || c == 'E') {
      canonical += c;
    } else {
      throw fail();
    }
  }
  if (!digits) throw fail();
  // from_chars, unlike strtod, ignores the C locale that the window toolkit sets.
  double result = 0;
  const char* first = canonical.c_str();
  if (*first == '+') ++first;
  const char* last = canonical.c_str() + canonical.size();
  const auto [end, error] = std::from_chars(first, last, result);
  if (error != std::errc() || end != last) throw fail();
  return result;
}

}  // namespace netupdate::common
