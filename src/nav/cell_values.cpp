#include "nav/cell_values.h"

#include <array>
#include <charconv>

#include "nav/html_text.h"

namespace netupdate::nav {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {
    "január", "február",   "március",    "április", "május",    "június",
    "július", "augusztus", "szeptember", "október", "november", "december"};

// More digits than any fuel price has are a sign of a cell misread, not a price.
constexpr std::size_t kMaxWholeDigits = 7;
constexpr std::size_t kMaxFractionDigits = 6;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string withoutSpaces(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

bool contains(std::string_view text, std::string_view word) {
  return text.find(word) != std::string_view::npos;
}

}  // namespace

PriceCell readPrice(std::string_view text) {
  if (text.empty() || text == "-") return PriceCell{true, std::nullopt};
  std::string folded = foldCase(text);
  std::string_view rest = folded;
  if (rest.ends_with("ft")) {
    rest.remove_suffix(2);
    if (rest.ends_with(' ')) rest.remove_suffix(1);
  }
  // Whole forints: one group of digits, or groups of three after a first of
  // one to three, each group after a blank.
  std::string whole;
  std::size_t pos = 0;
  std::size_t group = 0;
  bool grouped = false;
  while (pos < rest.size()) {
    if (isDigit(rest[pos])) {
      whole += rest[pos++];
      ++group;
    } else if (rest[pos] == ' ' && pos + 1 < rest.size() && isDigit(rest[pos + 1]) &&
               (grouped ? group == 3 : group <= 3) && group != 0) {
      grouped = true;
      group = 0;
      ++pos;
    } else {
      break;
    }
  }
  if (whole.empty() || (grouped && group != 3) || whole.size() > kMaxWholeDigits) return {};
  std::string number = whole;
  if (pos < rest.size() && (rest[pos] == ',' || rest[pos] == '.')) {
    ++pos;
    const std::size_t fractionStart = pos;
    while (pos < rest.size() && isDigit(rest[pos])) ++pos;
    const std::size_t digits = pos - fractionStart;
    if (digits == 0 || digits > kMaxFractionDigits) return {};
    number += '.';
    number += rest.substr(fractionStart, digits);
  }
  if (pos != rest.size()) return {};
  double value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) return {};
  return PriceCell{true, value};
}

MonthCell readMonth(std::string_view text) {
  const std::string folded = foldCase(text);
  const std::string_view view = folded;
  for (std::size_t index = 0; index < kMonths.size(); ++index) {
    const std::string_view name = kMonths[index];
    if (!view.starts_with(name)) continue;
    const std::string_view rest = view.substr(name.size());
    if (rest.empty()) return MonthCell{static_cast<int>(index + 1), std::nullopt};
    // "december (2024)": the month of the year in brackets.
    const std::string bracket = withoutSpaces(rest);
    if (bracket.size() == 6 && bracket.front() == '(' && bracket.back() == ')') {
      int year = 0;
      for (std::size_t i = 1; i < 5; ++i) {
        if (!isDigit(bracket[i])) return {};
        year = year * 10 + (bracket[i] - '0');
      }
      return MonthCell{static_cast<int>(index + 1), year};
    }
    return {};
  }
  return {};
}

FuelWords readFuelLabel(std::string_view label) {
  const std::string folded = foldCase(label);
  FuelWords words;
  const auto name = [&](bool named, Fuel fuel) {
    if (!named) return;
    words.fuel = fuel;
    ++words.fuelsNamed;
  };
  name(contains(folded, "esz-95") || contains(folded, "motorbenzin"), Fuel::Esz95);
  name(contains(folded, "gázolaj"), Fuel::Gazolaj);
  name(contains(folded, "keverék"), Fuel::Keverek);
  name(contains(folded, "lpg"), Fuel::Lpg);
  name(contains(folded, "cng"), Fuel::Cng);

  const bool capped = contains(folded, "védett ár") || contains(folded, "hatósági árszabás");
  const bool market = contains(folded, "piaci árszabás");
  words.pricingConflicts = capped && market;
  words.pricing = capped ? Pricing::Capped : market ? Pricing::Market : Pricing::None;

  const std::string compact = withoutSpaces(folded);
  if (contains(compact, "ft/kg")) {
    words.unit = "Ft/kg";
  } else if (contains(compact, "ft/l")) {
    words.unit = "Ft/l";
  } else {
    // Gas sold by weight is priced per kilogram, everything else per litre.
    words.unit = words.fuel == Fuel::Cng ? "Ft/kg" : "Ft/l";
  }
  return words;
}

}  // namespace netupdate::nav
