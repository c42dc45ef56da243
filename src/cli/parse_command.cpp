#include <array>
#include <cmath>
#include <string>

#include "cli/commands.h"
#include "cli/console.h"
#include "common/format_settings.h"
#include "common/prices.h"
#include "parse/feldolgoz.h"
#include "parse/in_out_error.h"
#include "parse/input_file.h"

namespace netupdate::cli {

namespace {

constexpr int kIoFailure = 2;

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
  std::string out = "{\"months\":[";
  for (int month = 1; month <= 12; ++month) {
    const common::THaviAr& row = haviarak[month];
    if (month > 1) out += ',';
    out += "{\"month\":" + std::to_string(month) +
           ",\"esz95\":" + std::to_string(whole(row.esz95)) +
           ",\"gazolaj\":" + std::to_string(whole(row.gazolaj)) +
           ",\"keverek\":" + std::to_string(whole(row.keverek)) +
           ",\"lpg\":" + std::to_string(whole(row.lpg)) + "}";
  }
  out += "]}\n";
  writeText(stdout, out);
}

int usage(const std::string& problem) {
  writeText(stderr,
            "netupdate-cli parse: " + problem + "\nusage: netupdate-cli parse FILE [--json]\n");
  return kUsageError;
}

}  // namespace

int parseCommand(const std::vector<std::string>& args) {
  bool json = false;
  std::string file;
  bool haveFile = false;
  for (const std::string& arg : args) {
    if (arg == "--json") {
      json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usage("unknown option " + arg);
    } else if (haveFile) {
      return usage("only one FILE may be given");
    } else {
      file = arg;
      haveFile = true;
    }
  }
  if (!haveFile) return usage("FILE is missing");

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
