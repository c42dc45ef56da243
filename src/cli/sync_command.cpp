#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "app/shell_rules.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/terminal_ui.h"
#include "common/error.h"
#include "common/format_settings.h"
#include "common/prices.h"
#include "db/adat_betolt.h"
#include "db/db_components.h"
#include "parse/feldolgoz.h"
#include "parse/input_file.h"

namespace netupdate::cli {

namespace {

constexpr int kDone = 0;
constexpr int kConnectFailed = 1;
constexpr int kStopped = 2;

struct SyncArgs {
  db::ConnectionValues values;
  std::string page;
  common::DialogResult answer = common::DialogResult::No;
  bool dryRun = false;
};

void printSyncUsage(const std::string& problem) {
  std::fprintf(stderr,
               "netupdate-cli sync: %s\n"
               "usage: netupdate-cli sync DATABASE USER PASSWORD [SERVER] --page FILE\n"
               "                          [--answer yes|no] [--dry-run]\n",
               problem.c_str());
}

// Options may stand anywhere; "--" ends them, for a password that begins with dashes.
std::optional<SyncArgs> parseSyncArgs(const std::vector<std::string>& args) {
  SyncArgs parsed;
  std::vector<std::string> positional;
  bool havePage = false;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
      positional.push_back(arg);
    } else if (arg == "--") {
      optionsEnded = true;
    } else if (arg == "--dry-run") {
      parsed.dryRun = true;
    } else if (arg == "--page" || arg == "--answer") {
      if (i + 1 == args.size()) {
        printSyncUsage(arg + " needs a value");
        return std::nullopt;
      }
      const std::string& value = args[++i];
      if (arg == "--page") {
        parsed.page = value;
        havePage = true;
      } else if (value == "yes") {
        parsed.answer = common::DialogResult::Yes;
      } else if (value == "no") {
        parsed.answer = common::DialogResult::No;
      } else {
        printSyncUsage("--answer takes yes or no, not \"" + value + "\"");
        return std::nullopt;
      }
    } else {
      printSyncUsage("unknown option " + arg);
      return std::nullopt;
    }
  }
  if (positional.size() < 3 || positional.size() > 4) {
    printSyncUsage("expected DATABASE USER PASSWORD [SERVER]");
    return std::nullopt;
  }
  if (!havePage || parsed.page.empty()) {
    printSyncUsage("--page FILE is required");
    return std::nullopt;
  }
  // The same joining the window does with its command line: a server turns
  // the path into the server:path attach string.
  parsed.values.username = positional[1];
  parsed.values.password = positional[2];
  if (positional.size() == 4) parsed.values.server = positional[3];
  parsed.values.adatbazis = app::joinServer(parsed.values.server, positional[0]);
  return parsed;
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
  const std::optional<SyncArgs> parsed = parseSyncArgs(args);
  if (!parsed) return kUsageError;

  // The parser takes a missing page for an empty one; asked for a page by
  // name, a run that quietly reconciles nothing would hide the mistake.
  if (parse::namesNoFile(parsed->page)) {
    writeText(stderr, "netupdate-cli: no page file \"" + parsed->page + "\"\n");
    return kStopped;
  }
  common::THaviArak haviarak;
  try {
    parse::Feldolgoz(parsed->page, haviarak);
  } catch (const std::exception& error) {
    writeText(stderr, terminalLines("netupdate-cli: ", common::innermostMessage(error)));
    return kStopped;
  }

  TerminalUi ui(stdout, stderr, parsed->answer);
  Counts counts;
  db::ReconcileOptions options;
  options.dryRun = parsed->dryRun;
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
