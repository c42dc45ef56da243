#pragma once

#include <array>
#include <string>
#include <string_view>

namespace netupdate::common {

// A calendar day.
struct Date {
  int year = 0;
  int month = 0;
  int day = 0;

  friend bool operator==(const Date&, const Date&) = default;
};

bool isValidDate(const Date& date);

// 0 = Sunday ... 6 = Saturday.
int dayOfWeek(const Date& date);

// The process's text conventions for dates and numbers: Hungarian, fixed at
// start-up and never refreshed from the user's regional settings, so a run
// writes and reads the same date and number texts on every machine.
struct FormatSettings {
  std::string currencyString = "Ft";
  int currencyFormat = 0;
  int negCurrFormat = 1;
  char thousandSeparator = ',';
  char decimalSeparator = '.';
  char dateSeparator = '.';
  std::string shortDateFormat = "yyyy.MM.dd";
  std::string longDateFormat = "yyyy MMMM dd, dddd";
  char timeSeparator = ':';
  std::string timeAMString = "de";
  std::string timePMString = "du";
  std::string shortTimeFormat = "hh:mm";
  std::string longTimeFormat = "hh:mm:ss";
  std::array<std::string, 12> shortMonthNames = {"jan.", "febr.", "márc.",  "ápr.", "máj.", "jún.",
                                                 "júl.", "aug.",  "szept.", "okt.", "nov.", "dec."};
  std::array<std::string, 12> longMonthNames = {"Január",     "Február", "Március",  "Április",
                                                "Május",      "Június",  "Július",   "Augusztus",
                                                "Szeptember", "Október", "November", "December"};
  // Sunday first.
  std::array<std::string, 7> shortDayNames = {"vasárnap", "hétfő",  "kedd",   "szerda",
                                              "csüt.",    "péntek", "szombat"};
  std::array<std::string, 7> longDayNames = {"Vasárnap",  "Hétfő",  "Kedd",   "Szerda",
                                             "Csütörtök", "Péntek", "Szombat"};
  int localeId = 1038;  // 0x040E, Hungarian (Hungary)
  int primaryLanguage = 14;
  int subLanguage = 0;  // 0 although 1038 itself carries 1: kept as the host application has it
  bool farEastScripts = false;
  bool middleEastScripts = false;
};

// The settings every part of the program uses.
const FormatSettings& formatSettings();

// Writes a date by a pattern whose letters are recognised in any case:
// yyyy the four-digit year, yy two digits; mmmm/mmm the long/short month name,
// mm/m the month with/without a leading zero; dddd/ddd the long/short day
// name, dd/d the day with/without a leading zero. Other characters stand for themselves.
std::string formatDate(std::string_view pattern, const Date& date,
                       const FormatSettings& settings = formatSettings());

// Reads date text: three numbers separated by the date separator, in the
// order of the short date pattern. Throws common::Error when no valid date results.
Date parseDate(std::string_view text, const FormatSettings& settings = formatSettings());

// Writes a number by a picture such as "###.00": "0" a digit that is always
// shown, "#" a digit shown only when significant, the first "." the decimal
// separator, "," in the integer part turns on thousands grouping. Rounds half away from zero.
std::string formatFloat(std::string_view pattern, double value,
                        const FormatSettings& settings = formatSettings());

// Reads a decimal number with the settings' decimal separator; surrounding
// blanks are allowed. Throws common::Error on anything else.
double strToFloat(std::string_view text, const FormatSettings& settings = formatSettings());

}  // namespace netupdate::common
