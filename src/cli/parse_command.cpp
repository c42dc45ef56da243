#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/json_text.h"
#include "common/format_settings.h"
#include "common/prices.h"
#include "parse/feldolgoz.h"
#include "parse/in_out_error.h"
#include "parse/input_file.h"

namespace netupdate::cli {

namespace {

constexpr int kIoFailure = 2;

constexpr const char* kUsage = "usage: netupdate-cli parse FILE [--json]\n";

long whole(float price) {
  return std::lround(price);
}

// Month and fuel names carry accented letters; widths count characters, not bytes.
std::size_t characters(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string padRight(const std::string& text, std::size_t width) {
  const std::size_t chars = characters(text);
  return chars < width ? text + std::string(width - chars, ' ') : text;
}

std::string padLeft(const std::string& text, std::size_t width) {
  const std::size_t chars = characters(text);
  return chars < width ? std::string(width - chars, ' ') + text : text;
}

void printTable(const common::THaviArak& haviarak) {
  constexpr std::size_t kMonthWidth = 11;
  constexpr std::array<std::size_t, 4> kPriceWidths = {14, 9, 9, 13};
  const std::array<std::string, 4> headings = {"Benzin ESZ-95", "Gázolaj", "Keverék",
                                               "LPG autógáz"};
  std::string out = padRight("Hónap", kMonthWidth);
  for (std::size_t i = 0; i < headings.size(); ++i) out += padLeft(headings[i], kPriceWidths[i]);
  out += '\n';
  for (int month = 1; month <= 12; ++month) {
    const common::THaviAr& row = haviarak[month];
    // The page's column order, which is also the order of the headings.
    const std::array<float, 4> prices = {row.esz95, row.gazolaj, row.keverek, row.lpg};
    out += padRight(common::formatSettings().longMonthNames[static_cast<std::size_t>(month - 1)],
                    kMonthWidth);
    for (std::size_t i = 0; i < prices.size(); ++i) {
      out += padLeft(std::to_string(whole(prices[i])), kPriceWidths[i]);
    }
    out += '\n';
  }
  writeText(stdout, out);
}

void printJson(const common::THaviArak& haviarak) {
  Json months = Json::array();
  for (int month = 1; month <= 12; ++month) {
    const common::THaviAr& row = haviarak[month];
    months.push_back({{"month", month},
                      {"esz95", whole(row.esz95)},
                      {"gazolaj", whole(row.gazolaj)},
                      {"keverek", whole(row.keverek)},
                      {"lpg", whole(row.lpg)}});
  }
  writeText(stdout, jsonText(Json{{"months", months}}) + "\n");
}

}  // namespace

int parseCommand(const std::vector<std::string>& args) {
  CommandLine commandLine("parse", kUsage);
  bool json = false;
  std::vector<std::string> files;
  commandLine.flag("--json", json);
  commandLine.positionals(files);
  if (const std::optional<int> status = commandLine.parse(args)) return *status;
  if (files.empty()) return commandLine.usageError("FILE is missing");
  if (files.size() > 1) return commandLine.usageError("only one FILE may be given");
  const std::string& file = files.front();

  try {
    // The parser passes over a missing page or a folder in silence, as the
    // run needs; someone who names a file here wants to hear why it cannot be
    // read rather than see a table of zeros, and opening it says why.
    if (parse::namesNoFile(file)) parse::InputFile(file).close();

    common::THaviArak haviarak;
    parse::Feldolgoz(file, haviarak);
    if (json) {
      printJson(haviarak);
    } else {
      printTable(haviarak);
    }
  } catch (const parse::EInOutError& error) {
    writeText(stderr, "netupdate-cli parse: " + file + ": " + error.what() + "\n");
    return kIoFailure;
  }
  return 0;
}

}  // namespace netupdate::cli
