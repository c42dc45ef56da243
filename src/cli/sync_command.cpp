#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "app/shell_rules.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/nav_prices.h"
#include "cli/nav_source.h"
#include "cli/terminal_ui.h"
#include "common/error.h"
#include "common/format_settings.h"
#include "common/prices.h"
#include "db/adat_betolt.h"
#include "db/db_components.h"
#include "nav/nav_table.h"
#include "parse/feldolgoz.h"
#include "parse/input_file.h"

namespace netupdate::cli {

namespace {

constexpr int kDone = 0;
constexpr int kConnectFailed = 1;
constexpr int kStopped = 2;

struct SyncArgs {
  db::ConnectionValues values;
  std::string page;  // the 2018 page, read as the window reads it
  std::optional<NavSource> nav;
  nav::Pricing pricing = nav::Pricing::None;
  common::DialogResult answer = common::DialogResult::No;
  bool dryRun = false;
};

constexpr const char* kUsage =
    "usage: netupdate-cli sync DATABASE USER PASSWORD [SERVER] --page FILE\n"
    "                          [--answer yes|no] [--dry-run]\n"
    "       netupdate-cli sync DATABASE USER PASSWORD [SERVER] --nav YEAR | --nav-page FILE\n"
    "                          [--pricing capped|market] [--answer yes|no] [--dry-run]\n";

// Returns the arguments, or the exit status when the command must not go on.
std::variant<SyncArgs, int> parseSyncArgs(CommandLine& commandLine,
                                          const std::vector<std::string>& args) {
  std::vector<std::string> positional;
  std::optional<std::string> page;
  std::optional<std::string> navYear;
  std::optional<std::string> navPage;
  std::optional<std::string> pricing;
  std::optional<std::string> answer;
  SyncArgs parsed;
  commandLine.positionals(positional);
  commandLine.option("--page", page);
  commandLine.option("--nav", navYear);
  commandLine.option("--nav-page", navPage);
  commandLine.option("--pricing", pricing);
  commandLine.option("--answer", answer);
  commandLine.flag("--dry-run", parsed.dryRun);
  if (const std::optional<int> status = commandLine.parse(args)) return *status;

  if (answer) {
    if (*answer == "yes") {
      parsed.answer = common::DialogResult::Yes;
    } else if (*answer != "no") {
      return commandLine.usageError("--answer takes yes or no, not \"" + *answer + "\"");
    }
  }
  if (pricing) {
    if (*pricing == "capped") {
      parsed.pricing = nav::Pricing::Capped;
    } else if (*pricing == "market") {
      parsed.pricing = nav::Pricing::Market;
    } else {
      return commandLine.usageError("--pricing takes capped or market, not \"" + *pricing + "\"");
    }
  }
  if (positional.size() < 3 || positional.size() > 4) {
    return commandLine.usageError("expected DATABASE USER PASSWORD [SERVER]");
  }
  const int sources = (page ? 1 : 0) + (navYear ? 1 : 0) + (navPage ? 1 : 0);
  if (sources > 1) {
    return commandLine.usageError("give only one of --page FILE, --nav YEAR and --nav-page FILE");
  }
  if (navYear) {
    parsed.nav.emplace();
    parsed.nav->year = parseYear(*navYear);
    if (!parsed.nav->year) {
      return commandLine.usageError("--nav takes a year such as 2026, not \"" + *navYear + "\"");
    }
  } else if (navPage) {
    if (navPage->empty()) return commandLine.usageError("--nav-page FILE is empty");
    parsed.nav.emplace();
    parsed.nav->file = *navPage;
  } else {
    if (!page || page->empty()) return commandLine.usageError("--page FILE is required");
    // The 2018 page has one price a fuel; there is nothing to choose.
    if (pricing) return commandLine.usageError("--pricing goes with --nav or --nav-page");
    parsed.page = *page;
  }
  // The same joining the window does with its command line: a server turns
  // the path into the server:path attach string.
  parsed.values.username = positional[1];
  parsed.values.password = positional[2];
  if (positional.size() == 4) parsed.values.server = positional[3];
  parsed.values.adatbazis = app::joinServer(parsed.values.server, positional[0]);
  return parsed;
}

// The page sync was asked for, read before the database is attached.
struct Prices {
  common::THaviArak haviarak;
  std::string ev = common::ev;
};

std::string choiceNeeded(int year, const std::vector<PricingPair>& pairs) {
  std::string named;
  for (const PricingPair& pair : pairs) {
    named += (named.empty() ? "" : " and ") + pair.category + " (\"" + pair.capped + "\" and \"" +
             pair.market + "\")";
  }
  return std::to_string(year) + " has both a capped and a market price for " + named +
         "; choose --pricing capped (the capped price in the months that have one, the market "
         "price in the others) or --pricing market (the market price in the months that have "
         "one, the capped price in the others)";
}

// NAV's page of the year, with the user's choice where a fuel has two
// prices. Returns the exit status when the run must not go on.
std::variant<Prices, int> navPrices(const CommandLine& commandLine, const SyncArgs& args) {
  Prices prices;
  NavRead read;
  try {
    read = readNav(*args.nav);
  } catch (const std::exception& error) {
    const std::string where = args.nav->year ? "" : args.nav->file + ": ";
    writeText(stderr, terminalLines("netupdate-cli: " + where, causeChain(error)));
    return kStopped;
  }
  try {
    const std::vector<PricingPair> pairs = pricingPairs(read.table);
    if (!pairs.empty() && args.pricing == nav::Pricing::None) {
      return commandLine.usageError(choiceNeeded(read.table.year, pairs));
    }
    prices.haviarak = hostPrices(read.table, args.pricing);
  } catch (const ENavColumnsError& error) {
    writeText(stderr, terminalLines("netupdate-cli: ", error.what()));
    return kStopped;
  }
  prices.ev = std::to_string(read.table.year);
  // A saved page's name may hold accented letters, which a console needs as characters.
  writeText(stdout, "page " + std::to_string(read.table.year) + " " + printable(read.url) + "\n");
  return prices;
}

// The 2018 page, read as the window reads it.
std::variant<Prices, int> windowPrices(const SyncArgs& args) {
  Prices prices;
  // The parser takes a missing page for an empty one; asked for a page by
  // name, a run that quietly reconciles nothing would hide the mistake.
  if (parse::namesNoFile(args.page)) {
    writeText(stderr, "netupdate-cli: no page file \"" + args.page + "\"\n");
    return kStopped;
  }
  try {
    parse::Feldolgoz(args.page, prices.haviarak);
  } catch (const std::exception& error) {
    writeText(stderr, terminalLines("netupdate-cli: ", common::innermostMessage(error)));
    return kStopped;
  }
  return prices;
}

const char* decisionWord(db::Decision decision) {
  switch (decision) {
    case db::Decision::Insert:
      return "insert";
    case db::Decision::Replace:
      return "replace";
    case db::Decision::Overwrite:
      return "overwrite";
    case db::Decision::Keep:
      break;
  }
  return "keep";
}

std::string twoDecimals(float value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
  return text;
}

struct Counts {
  int insert = 0;
  int replace = 0;
  int overwrite = 0;
  int keep = 0;
};

void printDecision(const db::DecisionEvent& event, Counts& counts) {
  std::string line = std::string(decisionWord(event.decision)) + " " + std::to_string(event.uzaid) +
                     " " + common::formatDate("yyyy.MM.dd", event.datum) + " ";
  if (event.decision != db::Decision::Insert) line += twoDecimals(event.stored) + " ";
  line += twoDecimals(event.nav) + "\n";
  std::fputs(line.c_str(), stdout);
  std::fflush(stdout);
  switch (event.decision) {
    case db::Decision::Insert:
      ++counts.insert;
      break;
    case db::Decision::Replace:
      ++counts.replace;
      break;
    case db::Decision::Overwrite:
      ++counts.overwrite;
      break;
    case db::Decision::Keep:
      ++counts.keep;
      break;
  }
}

}  // namespace

int syncCommand(const std::vector<std::string>& args) {
  CommandLine commandLine("sync", kUsage);
  const std::variant<SyncArgs, int> read = parseSyncArgs(commandLine, args);
  if (const int* status = std::get_if<int>(&read)) return *status;
  const SyncArgs* parsed = &std::get<SyncArgs>(read);

  const std::variant<Prices, int> got =
      parsed->nav ? navPrices(commandLine, *parsed) : windowPrices(*parsed);
  if (const int* status = std::get_if<int>(&got)) return *status;
  const Prices& prices = std::get<Prices>(got);
  const common::THaviArak& haviarak = prices.haviarak;

  TerminalUi ui(stdout, stderr, parsed->answer);
  Counts counts;
  db::ReconcileOptions options;
  options.dryRun = parsed->dryRun;
  options.ev = prices.ev;
  options.observer = [&counts](const db::DecisionEvent& event) { printDecision(event, counts); };
  // The window shows only the fixed dialog text; a terminal user also gets the cause.
  options.onConnectFailure = [](const std::exception& error) {
    writeText(stderr, terminalLines("netupdate-cli: cause: ", common::innermostMessage(error)));
  };

  common::TUzaArray Uzemanyagok;
  db::DbComponents components;
  try {
    if (!db::AdatBetolt(components, parsed->values, haviarak, Uzemanyagok, ui, options)) {
      return kConnectFailed;
    }
  } catch (const std::exception& error) {
    std::fflush(stdout);
    writeText(stderr, terminalLines("netupdate-cli: ", error.what()));
    return kStopped;
  }

  std::printf(
      "summary: %zu fuel types, %zu lookups, %d insert, %d replace, %d overwrite, %d keep%s\n",
      Uzemanyagok.size(), Uzemanyagok.size() * 12, counts.insert, counts.replace, counts.overwrite,
      counts.keep, parsed->dryRun ? " (dry run, nothing written)" : "");
  return kDone;
}

}  // namespace netupdate::cli
