#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "cli/json_text.h"
#include "cli/nav_check.h"
#include "cli/nav_source.h"
#include "db/client_facts.h"
#include "db/database_probe.h"
#include "download/download_check.h"
#include "nav/nav_site.h"

namespace netupdate::cli {

namespace {

constexpr int kAllPassed = 0;
constexpr int kSomeFailed = 1;

// The engine's codes the remedies depend on.
constexpr std::intptr_t kConnectRejected = 335544421;  // isc_connect_reject
constexpr std::intptr_t kLoginRefused = 335544472;     // isc_login
constexpr std::intptr_t kFileError = 335544344;        // isc_io_error
constexpr std::intptr_t kNetworkError = 335544721;     // isc_network_error

// The first client whose login a server only takes with Legacy_Auth left out
// is Firebird 3's; older ones only know the legacy login.
constexpr int kFirstSrpClient = 3;

enum class Outcome { Ok, Fail, Skipped };

struct CheckLine {
  CheckLine(const char* checkKey, std::string checkLabel)
      : key(checkKey), label(std::move(checkLabel)) {}

  const char* key;    // for scripts: stable, English
  std::string label;  // for people
  Outcome outcome = Outcome::Ok;
  std::string found;
  std::string remedy;  // only for a failure
};

struct CheckArgs {
  std::optional<db::ConnectionValues> database;
  std::optional<int> navYear;
  bool json = false;
  bool network = true;
};

constexpr const char* kUsage =
    "usage: netupdate-cli check [DATABASE USER PASSWORD [SERVER]] [--json] [--no-network]\n"
    "                           [--nav YEAR]\n";

// Returns the arguments, or the exit status when the command must not go on.
std::variant<CheckArgs, int> parseCheckArgs(const std::vector<std::string>& args) {
  CommandLine commandLine("check", kUsage);
  CheckArgs parsed;
  std::vector<std::string> positional;
  bool noNetwork = false;
  std::optional<std::string> navYear;
  commandLine.positionals(positional);
  commandLine.flag("--json", parsed.json);
  commandLine.flag("--no-network", noNetwork);
  commandLine.option("--nav", navYear);
  if (const std::optional<int> status = commandLine.parse(args)) return *status;
  parsed.network = !noNetwork;
  if (navYear) {
    parsed.navYear = parseYear(*navYear);
    if (!parsed.navYear) {
      return commandLine.usageError("--nav takes a year such as 2026, not \"" + *navYear + "\"");
    }
  }
  if (positional.size() == 3 || positional.size() == 4) {
    db::ConnectionValues values;
    values.username = positional[1];
    values.password = positional[2];
    if (positional.size() == 4) values.server = positional[3];
    // As the window joins its command line.
    values.adatbazis = app::joinServer(values.server, positional[0]);
    parsed.database = values;
  } else if (!positional.empty()) {
    return commandLine.usageError("expected DATABASE USER PASSWORD [SERVER]");
  }
  return parsed;
}

// Messages of the engine and the socket layer break lines with CR LF; a
// check's finding stays on its one line.
std::string oneLine(const std::string& text) {
  std::string line;
  for (const char c : text) {
    const bool blank = c == '\r' || c == '\n' || c == '\t' || c == ' ';
    if (blank) {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += c;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

// The layer names its own object before the engine's text ("MainFrm.Varkona:");
// an administrator has no use for that name.
std::string engineText(const std::string& message) {
  const std::size_t end = message.find(":\r\n");
  return oneLine(end == std::string::npos ? message : message.substr(end + 3));
}

std::string bitsText(int bits) {
  return std::to_string(bits) + " bites";
}

CheckLine programCheck() {
  CheckLine line{"program", "Program"};
  const std::string path = programPath();
  line.found = (path.empty() ? std::string("(útvonala nem állapítható meg)") : path) +
               ", változat " NETUPDATE_VERSION ", " + bitsText(db::programBits());
  return line;
}

bool isWindowsLibrary(const db::ClientLibraryFacts& facts) {
  return facts.name.size() > 4 && facts.name.compare(facts.name.size() - 4, 4, ".dll") == 0;
}

std::string whereSearched(const db::ClientLibraryFacts& facts) {
  if (facts.searched.empty())
    return "a dinamikus betöltő keresési helyein (LD_LIBRARY_PATH, ld.so.cache)";
  std::string places;
  for (const std::string& folder : facts.searched) {
    if (!places.empty()) places += "; ";
    places += folder;
  }
  return "keresve: " + places;
}

std::string installClientRemedy(const db::ClientLibraryFacts& facts) {
  if (isWindowsLibrary(facts)) {
    return "másolja a netupdate mellé a gazdaalkalmazás " + std::to_string(db::programBits()) +
           " bites fbclient.dll-jét (Firebird 1.5 vagy újabb), vagy telepítse a Firebird klienst.";
  }
  return "telepítse a Firebird kliens könyvtárat (Debian: apt-get install libfbclient2).";
}

CheckLine clientLibraryCheck(const db::ClientLibraryFacts& facts) {
  CheckLine line{"client_library", "Kliens könyvtár"};
  const int own = db::programBits();
  if (!facts.path.empty() && facts.bits != 0 && facts.bits != own) {
    line.outcome = Outcome::Fail;
    line.found = facts.path + ": " + bitsText(facts.bits) +
                 (facts.fileVersion.empty() ? "" : ", fájlváltozat " + facts.fileVersion) +
                 "; ez a " + bitsText(own) + " program nem tudja betölteni";
    line.remedy = facts.bits == 32 ? "használja az x86-os (32 bites) netupdate-et, vagy tegyen 64 "
                                     "bites fbclient.dll-t a program mellé."
                                   : "használja az x64-es (64 bites) netupdate-et, vagy tegyen 32 "
                                     "bites fbclient.dll-t a program mellé.";
    return line;
  }
  if (!facts.loaded) {
    line.outcome = Outcome::Fail;
    if (facts.path.empty()) {
      line.found = "nem található " + facts.name + " (" + whereSearched(facts) + ")";
      if (!facts.loadError.empty()) line.found += "; a betöltő: " + oneLine(facts.loadError);
    } else {
      line.found = facts.path + ": nem tölthető be: " + oneLine(facts.loadError);
    }
    line.remedy = installClientRemedy(facts);
    return line;
  }
  std::string found = facts.path;
  if (!facts.fileVersion.empty()) found += ", fájlváltozat " + facts.fileVersion;
  if (!facts.clientVersion.empty()) found += ", kliens: " + facts.clientVersion;
  if (facts.bits != 0) found += ", " + bitsText(facts.bits);
  if (!facts.missing.empty()) {
    line.outcome = Outcome::Fail;
    std::string missing = facts.missing;
    // Either of the two message calls would do; name both.
    if (const std::size_t at = missing.find("fb_interpret"); at != std::string::npos) {
      missing.insert(at + 12, " (és isc_interprete)");
    }
    line.found = found + "; hiányzó belépési pontok: " + missing;
    line.remedy = "ez nem használható Firebird kliens (túl régi, vagy nem a Firebird-é); " +
                  installClientRemedy(facts);
    return line;
  }
  if (facts.legacyInterpret) found += ", régi kliens (üzenetei isc_interprete-tel)";
  line.found = found;
  return line;
}

CheckLine workingDirectoryCheck() {
  CheckLine line{"working_directory", "Munkakönyvtár"};
  const std::string directory = app::currentDirectory();
  const download::PageFileProbe probe =
      download::probePageFile(app::pageFileName(directory, app::today()));
  if (probe.ok) {
    line.found = directory + ": lapfájl létrehozva és törölve (" + probe.path + ")";
  } else {
    line.outcome = Outcome::Fail;
    line.found = directory + ": " + oneLine(probe.error);
    line.remedy =
        "a gazdaalkalmazás olyan munkakönyvtárral indítsa a netupdate-et, ahová a felhasználó "
        "írhat: ide kerül a letöltött lap (ÉÉÉÉ_HH_NN.html).";
  }
  return line;
}

CheckLine pageAddressCheck(bool network) {
  CheckLine line{"page_address", "Oldal címe"};
  const std::string link = app::pageLink();
  if (!network) {
    line.outcome = Outcome::Skipped;
    line.found = link + ": kihagyva (--no-network)";
    return line;
  }
  const download::PageAddressProbe probe = download::probePageAddress(link);
  if (probe.ok) {
    line.found = link + ": " + probe.statusLine + ", " + std::to_string(probe.size) + " bájt";
    return line;
  }
  line.outcome = Outcome::Fail;
  line.found = link + ": " + oneLine(probe.error);
  line.remedy = probe.statusLine.empty()
                    ? "ellenőrizze, hogy ez a gép közvetlenül (proxy nélkül) eléri-e a címet a "
                      "80-as porton: hálózat, névfeloldás, tűzfal."
                    : "a kiszolgáló hibával válaszolt: az oldal elköltözhetett vagy átmenetileg "
                      "nem érhető el; próbálja később, vagy nyissa meg a címet böngészőben.";
  return line;
}

CheckLine navPageCheck(int year, bool network) {
  CheckLine line{"nav_page", "NAV oldal (" + std::to_string(year) + ")"};
  if (!network) {
    line.outcome = Outcome::Skipped;
    line.found = nav::navOrigin() + ": kihagyva (--no-network)";
    return line;
  }
  NavPageFinding finding = checkNavPage(year);
  line.outcome = finding.ok ? Outcome::Ok : Outcome::Fail;
  line.found = std::move(finding.found);
  line.remedy = std::move(finding.remedy);
  return line;
}

bool legacyClient(const db::ClientLibraryFacts& facts) {
  return facts.loaded && facts.clientMajor < kFirstSrpClient;
}

std::string attachRemedy(const db::DatabaseProbe& probe, const db::ClientLibraryFacts& facts) {
  const bool clientUnusable = !facts.loaded || !facts.missing.empty();
  if (probe.gdscode == 0 && clientUnusable) return "lásd a kliens könyvtár sorát.";
  switch (probe.gdscode) {
    case kLoginRefused:
      return "ellenőrizze a felhasználónevet és a jelszót: a gazdaalkalmazás ugyanezekkel "
             "indítja a netupdate-et.";
    case kFileError:
      return "az adatbázisfájl nem nyitható meg: ellenőrizze az útvonalat úgy, ahogy a szerver "
             "gépén látszik (szerverrel a szerver gépének útvonala kell).";
    case kNetworkError:
      return "a szerver nem érhető el: ellenőrizze a szerver nevét, hogy fut-e rajta a Firebird, "
             "és hogy a 3050-es port nyitva van-e.";
    case kConnectRejected:
      return "a szerver visszautasította a kapcsolatot: lásd a szerverbeállítás sorát.";
    default:
      return "ellenőrizze az adatbázis útvonalát, a felhasználót és a jelszót.";
  }
}

// A legacy client's login reaches a Firebird 3 or later server only when the
// server still accepts the legacy login and unencrypted connections. The
// engine's codes tell this case, not a guess from the text.
std::optional<CheckLine> serverSettingsCheck(const db::DatabaseProbe& probe,
                                             const db::ClientLibraryFacts& facts) {
  if (probe.attached || !legacyClient(facts)) return std::nullopt;
  CheckLine line{"server_settings", "Szerverbeállítás"};
  line.outcome = Outcome::Fail;
  if (probe.gdscode == kConnectRejected) {
    line.found =
        "a szerver csak az újabb (Firebird 3) bejelentkezést fogadja el, ez a kliens a "
        "régit ismeri";
  } else if (probe.gdscode == kLoginRefused) {
    line.found = "ha a jelszó helyes: a szerver nem fogadja el e régi kliens bejelentkezését";
  } else {
    return std::nullopt;
  }
  line.remedy =
      "a szerver firebird.conf fájljában: AuthServer = Srp, Legacy_Auth; WireCrypt = Enabled; "
      "UserManager = Legacy_UserManager (a felhasználó jelszavát ezután a régi módon is meg kell "
      "adni), majd indítsa újra a Firebird szervert; vagy használjon Firebird 3 vagy újabb "
      "klienst.";
  return line;
}

std::vector<CheckLine> databaseChecks(const std::optional<db::ConnectionValues>& values,
                                      const db::ClientLibraryFacts& facts) {
  CheckLine attach{"database", "Adatbázis"};
  CheckLine tables{"database_tables", "Táblák"};
  if (!values) {
    attach.outcome = Outcome::Skipped;
    attach.found = "kihagyva (nincs megadva: DATABASE USER PASSWORD [SERVER])";
    tables.outcome = Outcome::Skipped;
    tables.found = "kihagyva (nincs adatbázis)";
    return {attach, tables};
  }
  const db::DatabaseProbe probe = db::probeDatabase(*values);
  std::vector<CheckLine> lines;
  if (probe.attached) {
    attach.found = values->adatbazis + ": " +
                   (probe.serverVersion.empty() ? std::string("szerver") : probe.serverVersion) +
                   ", SQL dialektus " + std::to_string(probe.dialect) +
                   ", WIN1250 karakterkészlettel csatlakozva";
  } else {
    attach.outcome = Outcome::Fail;
    attach.found = values->adatbazis + ": " + engineText(probe.error);
    attach.remedy = attachRemedy(probe, facts);
  }
  lines.push_back(attach);
  if (std::optional<CheckLine> settings = serverSettingsCheck(probe, facts)) {
    lines.push_back(*settings);
  }

  if (!probe.attached) {
    tables.outcome = Outcome::Skipped;
    tables.found = "kihagyva (nincs kapcsolat)";
  } else {
    std::string failures;
    for (const db::StatementProbe& statement : probe.statements) {
      if (statement.ok) continue;
      if (!failures.empty()) failures += "; ";
      failures += statement.use + ": " + engineText(statement.error);
    }
    if (failures.empty()) {
      tables.found = "UZA, UZA_APEH, UZAAR: az egyeztetés " +
                     std::to_string(probe.statements.size()) +
                     " utasítása mind előkészíthető (egyik sem futott, semmi sem íródott)";
    } else {
      tables.outcome = Outcome::Fail;
      tables.found = failures;
      tables.remedy =
          "a megadott adatbázisból hiányzik a gazdaalkalmazás egy táblája vagy oszlopa: "
          "ellenőrizze, hogy a gazdaalkalmazás adatbázisát adta-e meg.";
    }
  }
  lines.push_back(tables);
  return lines;
}

std::string humanLine(const CheckLine& line) {
  const char* word = line.outcome == Outcome::Ok     ? "ok  "
                     : line.outcome == Outcome::Fail ? "FAIL"
                                                     : "skip";
  std::string text = std::string(word) + " " + line.label + ": " + line.found;
  if (line.outcome == Outcome::Fail && !line.remedy.empty()) text += " – teendő: " + line.remedy;
  return text + "\n";
}

std::string jsonLine(const CheckLine& line) {
  const char* status = line.outcome == Outcome::Ok     ? "ok"
                       : line.outcome == Outcome::Fail ? "fail"
                                                       : "skipped";
  return jsonText(Json{{"check", line.key},
                       {"status", status},
                       {"ok", line.outcome != Outcome::Fail},
                       {"found", line.found},
                       {"remedy", line.remedy}});
}

}  // namespace

// Every check runs, whatever the earlier ones found: the administrator gets
// the whole picture at once. Nothing on the machine is changed.
int checkCommand(const std::vector<std::string>& args) {
  const std::variant<CheckArgs, int> read = parseCheckArgs(args);
  if (const int* status = std::get_if<int>(&read)) return *status;
  const CheckArgs* parsed = &std::get<CheckArgs>(read);

  std::vector<CheckLine> lines;
  const auto report = [&](CheckLine line) {
    // Each line as soon as it is known: a slow network check should not hide the others.
    if (!parsed->json) writeText(stdout, humanLine(line));
    std::fflush(stdout);
    lines.push_back(std::move(line));
  };
  report(programCheck());
  const db::ClientLibraryFacts facts = db::clientLibraryFacts();
  report(clientLibraryCheck(facts));
  report(workingDirectoryCheck());
  report(pageAddressCheck(parsed->network));
  if (parsed->navYear) report(navPageCheck(*parsed->navYear, parsed->network));
  for (CheckLine& line : databaseChecks(parsed->database, facts)) report(std::move(line));

  bool allPassed = true;
  std::string json = "[\n";
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].outcome == Outcome::Fail) allPassed = false;
    json += jsonLine(lines[i]) + (i + 1 < lines.size() ? ",\n" : "\n");
  }
  json += "]\n";
  if (parsed->json) writeText(stdout, json);
  return allPassed ? kAllPassed : kSomeFailed;
}

}  // namespace netupdate::cli
