#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/json_text.h"
#include "cli/nav_source.h"
#include "cli/terminal_ui.h"
#include "common/error.h"
#include "common/format_settings.h"
#include "download/file_sink.h"
#include "nav/nav_table.h"
#include "parse/in_out_error.h"

namespace netupdate::cli {

namespace {

constexpr int kNotFetched = 1;
constexpr int kNoTable = 2;

constexpr const char* kUsage =
    "usage: netupdate-cli nav YEAR [--json] [--save FILE]\n"
    "       netupdate-cli nav --page FILE [--json]\n";

// Widths count characters, not bytes: month and fuel names carry accents.
std::size_t characters(const std::string& text) {
  std::size_t count = 0;
  for (const char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return count;
}

std::string padded(const std::string& text, std::size_t width, bool right) {
  const std::size_t chars = characters(text);
  if (chars >= width) return text;
  const std::string blanks(width - chars, ' ');
  return right ? blanks + text : text + blanks;
}

const char* fuelHeading(nav::Fuel fuel) {
  switch (fuel) {
    case nav::Fuel::Esz95:
      return "ESZ-95";
    case nav::Fuel::Gazolaj:
      return "Gázolaj";
    case nav::Fuel::Keverek:
      return "Keverék";
    case nav::Fuel::Lpg:
      return "LPG";
    case nav::Fuel::Cng:
      break;
  }
  return "CNG";
}

// Short enough for a column; the legend under the table gives the page's own words.
std::string heading(const nav::NavColumn& column) {
  std::string text = fuelHeading(column.fuel);
  if (column.pricing == nav::Pricing::Market) text += " piaci";
  if (column.pricing == nav::Pricing::Capped) {
    text += column.label.find("hatósági") != std::string::npos ? " hatósági" : " védett";
  }
  return text;
}

// NAV publishes whole forints; a fraction, should one come, is shown as given.
std::string priceText(const std::optional<double>& price) {
  if (!price) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", *price);
  std::string shown = text;
  while (shown.back() == '0') shown.pop_back();
  if (shown.back() == '.') shown.pop_back();
  return shown;
}

Json priceJson(const std::optional<double>& price) {
  if (!price) return nullptr;
  // 572, not 572.0: whole prices read as NAV prints them.
  if (std::floor(*price) == *price && std::fabs(*price) < 1e15) {
    return static_cast<std::int64_t>(*price);
  }
  return *price;
}

std::string tableText(const NavRead& read) {
  const nav::NavTable& table = read.table;
  constexpr std::size_t kMonthWidth = 11;
  std::vector<std::string> headings;
  std::vector<std::size_t> widths;
  for (const nav::NavColumn& column : table.columns) {
    headings.push_back(heading(column));
    widths.push_back(std::max<std::size_t>(characters(headings.back()), 6) + 2);
  }
  std::string out = std::to_string(table.year) + ": " + printable(read.url) + "\n";
  out += padded("Hónap", kMonthWidth, false);
  for (std::size_t i = 0; i < headings.size(); ++i) out += padded(headings[i], widths[i], true);
  out += '\n';
  for (std::size_t month = 0; month < 12; ++month) {
    out += padded(common::formatSettings().longMonthNames[month], kMonthWidth, false);
    for (std::size_t i = 0; i < widths.size(); ++i) {
      out += padded(priceText(table.months[month][i]), widths[i], true);
    }
    out += '\n';
  }
  for (std::size_t i = 0; i < headings.size(); ++i) {
    out += headings[i] + ": " + printable(table.columns[i].label) + "\n";
  }
  return out;
}

std::string jsonOutput(const NavRead& read) {
  const nav::NavTable& table = read.table;
  Json columns = Json::array();
  for (const nav::NavColumn& column : table.columns) {
    const char* pricing = nav::pricingKey(column.pricing);
    columns.push_back({{"fuel", nav::fuelKey(column.fuel)},
                       {"pricing", pricing ? Json(pricing) : Json(nullptr)},
                       {"unit", column.unit},
                       {"label", column.label}});
  }
  Json months = Json::array();
  for (std::size_t month = 0; month < 12; ++month) {
    Json prices = Json::array();
    for (const std::optional<double>& price : table.months[month]) {
      prices.push_back(priceJson(price));
    }
    months.push_back({{"month", month + 1}, {"prices", prices}});
  }
  return jsonText(Json{
             {"year", table.year}, {"url", read.url}, {"columns", columns}, {"months", months}}) +
         "\n";
}

std::filesystem::path nativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// The page is written beside FILE under another name and put in FILE's
// place only once it is whole, so FILE is never half a page, nor replaced
// by a page whose table could not be read.
class SavedPage {
 public:
  // Throws common::Error when the file can't be created.
  explicit SavedPage(std::string path) : m_path(std::move(path)) {
    // A file of the user's own that happens to carry the name is left alone.
    for (int attempt = 0; attempt < 100 && !m_file; ++attempt) {
      m_partPath = m_path + ".part" + (attempt == 0 ? "" : std::to_string(attempt));
      m_file = download::FileSink::createNew(m_partPath);
    }
    if (!m_file) m_file = download::FileSink::create(m_partPath);
  }
  ~SavedPage() {
    if (m_file) {
      m_file.reset();
      std::error_code ignored;
      std::filesystem::remove(nativePath(m_partPath), ignored);
    }
  }
  SavedPage(const SavedPage&) = delete;
  SavedPage& operator=(const SavedPage&) = delete;

  void keep(const std::string& body) {
    m_file->write(body.data(), body.size());
    m_file->close();
    m_file.reset();
    std::error_code error;
    std::filesystem::rename(nativePath(m_partPath), nativePath(m_path), error);
    if (error) {
      std::error_code ignored;
      std::filesystem::remove(nativePath(m_partPath), ignored);
      throw common::Error("Cannot create file \"" + download::fullPath(m_path) + "\". " +
                          error.message());
    }
  }

 private:
  std::string m_path;
  std::string m_partPath;
  std::optional<download::FileSink> m_file;
};

}  // namespace

int navCommand(const std::vector<std::string>& args) {
  CommandLine commandLine("nav", kUsage);
  std::vector<std::string> positional;
  bool json = false;
  std::optional<std::string> save;
  std::optional<std::string> page;
  commandLine.positionals(positional);
  commandLine.flag("--json", json);
  commandLine.option("--save", save);
  commandLine.option("--page", page);
  if (const std::optional<int> status = commandLine.parse(args)) return *status;

  NavSource source;
  if (page) {
    if (!positional.empty()) return commandLine.usageError("give YEAR or --page FILE, not both");
    if (page->empty()) return commandLine.usageError("--page FILE is empty");
    if (save) {
      return commandLine.usageError(
          "--save goes with YEAR: a page read from a file is saved already");
    }
    source.file = *page;
  } else {
    if (positional.size() != 1) return commandLine.usageError("expected YEAR or --page FILE");
    source.year = parseYear(positional.front());
    if (!source.year) {
      return commandLine.usageError("YEAR is a year such as 2026, not \"" + positional.front() +
                                    "\"");
    }
    if (save && save->empty()) return commandLine.usageError("--save FILE is empty");
  }

  // Exit status 2 for a FILE that can't be written, as fetch has it.
  const auto saveFailed = [](const common::Error& error) {
    writeText(stderr, terminalLines("netupdate-cli nav: ", error.what()));
    return kNoTable;
  };
  std::optional<SavedPage> saved;
  try {
    // Before the page is fetched: a FILE that can't be written is told at once.
    if (save) saved.emplace(*save);
  } catch (const common::Error& error) {
    return saveFailed(error);
  }

  NavRead read;
  try {
    read = readNav(source);
  } catch (const nav::ENavTableError& error) {
    const std::string where = source.year ? "" : source.file + ": ";
    writeText(stderr, terminalLines("netupdate-cli nav: " + where, causeChain(error)));
    return kNoTable;
  } catch (const parse::EInOutError& error) {
    writeText(stderr, "netupdate-cli nav: " + source.file + ": " + error.what() + "\n");
    return kNotFetched;
  } catch (const common::Error& error) {
    writeText(stderr, terminalLines("netupdate-cli nav: ", causeChain(error)));
    return kNotFetched;
  }

  try {
    if (saved) saved->keep(read.body);
  } catch (const common::Error& error) {
    return saveFailed(error);
  }
  writeText(stdout, json ? jsonOutput(read) : tableText(read));
  return 0;
}

}  // namespace netupdate::cli
