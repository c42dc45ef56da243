#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/testing/check_setup.h"
#include "cli/testing/run_program.h"
#include "db/testing/reconcile_test_support.h"
#include "download/testing/test_files.h"
#include "download/testing/test_server.h"

namespace netupdate::cli {
namespace {

namespace fs = std::filesystem;
using download::testing::RefusingPort;
using download::testing::ServerConnection;
using download::testing::TempDirectory;
using download::testing::TestServer;
using testing::ProgramRun;
using testing::runProgram;

struct Finding {
  std::string status;
  std::string found;
  std::string remedy;
};

// The JSON string starting at text[pos] (its opening quote), unescaped; pos
// ends after the closing quote. Only the escapes the tool writes.
std::string jsonStringAt(const std::string& text, std::size_t& pos) {
  std::string value;
  for (++pos; pos < text.size() && text[pos] != '"'; ++pos) {
    if (text[pos] != '\\') {
      value += text[pos];
      continue;
    }
    const char escaped = text[++pos];
    if (escaped == 'u') {
      value += static_cast<char>(std::stoi(text.substr(pos + 1, 4), nullptr, 16));
      pos += 4;
    } else {
      value += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
    }
  }
  ++pos;
  return value;
}

std::string field(const std::string& object, const std::string& key) {
  std::size_t pos = object.find("\"" + key + "\":\"");
  if (pos == std::string::npos) return {};
  pos += key.size() + 3;
  return jsonStringAt(object, pos);
}

// The --json output by check: one object a line between the brackets.
std::map<std::string, Finding> findings(const std::string& json) {
  std::map<std::string, Finding> byCheck;
  std::istringstream lines(json);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.front() != '{') continue;
    byCheck[field(line, "check")] = {field(line, "status"), field(line, "found"),
                                     field(line, "remedy")};
    // ok is what scripts test: false exactly for a failure.
    EXPECT_NE(line.find(field(line, "status") == "fail" ? "\"ok\":false" : "\"ok\":true"),
              std::string::npos)
        << line;
  }
  return byCheck;
}

// A check's expected outcome: its status, and a piece of what it found (or,
// for a failure, of what to do). An empty status: no such line at all.
struct Expect {
  const char* check;
  const char* status;
  std::string piece;
};

void expectFindings(const std::map<std::string, Finding>& got, const std::vector<Expect>& expect,
                    const std::string& output) {
  for (const Expect& e : expect) {
    SCOPED_TRACE(e.check);
    const auto line = got.find(e.check);
    if (std::string(e.status).empty()) {
      EXPECT_EQ(line, got.end()) << output;
      continue;
    }
    ASSERT_NE(line, got.end()) << output;
    EXPECT_EQ(line->second.status, e.status) << output;
    EXPECT_NE((line->second.found + " | " + line->second.remedy).find(e.piece), std::string::npos)
        << output;
  }
}

// Each check's line in the human form matches its JSON object: same order,
// "ok", "FAIL" or "skip" first, then the finding.
void expectHumanLinesMatch(const std::string& human, const std::string& json) {
  std::istringstream humanLines(human);
  std::istringstream jsonLines(json);
  std::string line;
  std::vector<std::string> words;
  std::vector<std::string> founds;
  while (std::getline(humanLines, line)) words.push_back(line.substr(0, 4));
  while (std::getline(jsonLines, line)) {
    if (line.empty() || line.front() != '{') continue;
    const std::string status = field(line, "status");
    founds.push_back(status == "ok" ? "ok  " : status == "fail" ? "FAIL" : "skip");
  }
  EXPECT_EQ(words, founds) << human << json;
}

// The working directory and environment of one case, put back afterwards.
class CheckScene {
 public:
  CheckScene() : m_previous(fs::current_path()) { fs::current_path(m_dir.path()); }
  ~CheckScene() {
    fs::current_path(m_previous);
    testing::setEnvironment("NETUPDATE_PAGE_URL", "");
    testing::setEnvironment("LD_LIBRARY_PATH", "");
  }
  CheckScene(const CheckScene&) = delete;
  CheckScene& operator=(const CheckScene&) = delete;

  const fs::path& folder() const { return m_dir.path(); }

 private:
  fs::path m_previous;
  TempDirectory m_dir{"netupdate-check"};
};

// A page of five bytes, on every request of the connection.
void servePage(ServerConnection& connection) {
  while (connection.readRequest()) {
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nprice");
  }
}

enum class Client { None, Modern, Legacy, Bare, OtherBitness };
enum class Page { Skipped, Served, Refused };

// What a client library of the other bitness looks like to a reader of its
// header: the PE signature and the machine type, nothing to load.
fs::path otherBitnessLibrary(const fs::path& folder) {
  const std::uint16_t machine = sizeof(void*) == 8 ? 0x014c : 0x8664;
  std::string image(0x200, '\0');
  image[0] = 'M';
  image[1] = 'Z';
  image[0x3c] = 0x40;
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  image[0x44] = static_cast<char>(machine & 0xff);
  image[0x45] = static_cast<char>(machine >> 8);
  const fs::path file = folder / "other-bitness" / "fbclient.dll";
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << image;
  return file;
}

fs::path libraryFile(Client client, const fs::path& folder) {
  switch (client) {
    case Client::Modern:
      return NETUPDATE_FAKE_CLIENT_MODERN;
    case Client::Legacy:
      return NETUPDATE_FAKE_CLIENT_LEGACY;
    case Client::Bare:
      return NETUPDATE_FAKE_CLIENT_BARE;
    case Client::OtherBitness:
      return otherBitnessLibrary(folder);
    case Client::None:
      break;
  }
  return {};
}

bool windowsBuild() {
  return fs::path(NETUPDATE_FAKE_CLIENT_MODERN).extension() == ".dll";
}

struct Case {
  const char* name;
  Client client;
  Page page;
  std::vector<std::string> database;
  int exit;
  std::vector<Expect> expect;
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

const std::string kOtherPackage = sizeof(void*) == 8 ? "x86-os" : "x64-es";

const Case kCases[] = {
    {"NoClientLibrary",
     Client::None,
     Page::Refused,
     {"C:\\NINCS\\zepa.fdb", "SYSDBA", "masterkey"},
     1,
     {{"program", "ok", "bites"},
      {"client_library", "fail", "nem található fbclient.dll"},
      {"working_directory", "ok", "létrehozva és törölve"},
      {"page_address", "fail", "Socket Error # 10061 Connection refused."},
      {"database", "fail", "lásd a kliens könyvtár sorát"},
      {"database_tables", "skipped", "nincs kapcsolat"}}},
    {"OtherBitness",
     Client::OtherBitness,
     Page::Skipped,
     {"C:\\NINCS\\zepa.fdb", "SYSDBA", "masterkey"},
     1,
     {{"client_library", "fail", "használja az " + kOtherPackage + " "},
      {"database", "fail", "lásd a kliens könyvtár sorát"}}},
    {"NoEntryPoints",
     Client::Bare,
     Page::Skipped,
     {"C:\\NINCS\\zepa.fdb", "SYSDBA", "masterkey"},
     1,
     {{"client_library", "fail", "hiányzó belépési pontok: fb_interpret (és isc_interprete)"},
      {"database", "fail", "lásd a kliens könyvtár sorát"},
      {"server_settings", "", ""}}},
    {"MissingDatabase",
     Client::Modern,
     Page::Served,
     {"C:\\NINCS\\zepa.fdb", "SYSDBA", "masterkey"},
     1,
     {{"client_library", "ok", "kliens: netupdate test double 3.0"},
      {"page_address", "ok", "HTTP/1.1 200 OK, 5 bájt"},
      {"database", "fail", "Error while trying to open file."},
      {"database", "fail", "ellenőrizze az útvonalat"},
      {"server_settings", "", ""},
      {"database_tables", "skipped", "nincs kapcsolat"}}},
    {"LegacyClientLoginRefused",
     Client::Legacy,
     Page::Skipped,
     {"login.fdb", "SYSDBA", "rossz", "szerver"},
     1,
     {{"client_library", "ok", "régi kliens (üzenetei isc_interprete-tel)"},
      {"database", "fail", "szerver:login.fdb: Unsuccessful execution"},
      {"database", "fail", "Your user name and password are not defined."},
      {"server_settings", "fail", "ha a jelszó helyes"},
      {"server_settings", "fail", "AuthServer = Srp, Legacy_Auth; WireCrypt = Enabled"}}},
    {"LegacyClientRejected",
     Client::Legacy,
     Page::Skipped,
     {"reject.fdb", "SYSDBA", "masterkey", "szerver"},
     1,
     {{"database", "fail", "onnection rejected by remote interface."},
      {"server_settings", "fail", "csak az újabb (Firebird 3) bejelentkezést"}}},
    // A client new enough for the newer login is not told to change the server.
    {"ModernClientRejected",
     Client::Modern,
     Page::Skipped,
     {"reject.fdb", "SYSDBA", "masterkey", "szerver"},
     1,
     {{"database", "fail", "onnection rejected by remote interface."},
      {"server_settings", "", ""}}},
    {"NothingToFail",
     Client::Modern,
     Page::Skipped,
     {},
     0,
     {{"client_library", "ok", ""},
      {"page_address", "skipped", "--no-network"},
      {"database", "skipped", "nincs megadva"},
      {"database_tables", "skipped", ""}}},
};

class CheckCommand : public ::testing::TestWithParam<Case> {};

TEST_P(CheckCommand, EachFailureHasItsOwnLine) {
  const Case& c = GetParam();
  CheckScene scene;
  const std::string tool = testing::toolWithClientLibrary(NETUPDATE_CLI, scene.folder(),
                                                          libraryFile(c.client, scene.folder()));
  if (tool.empty()) {
    GTEST_SKIP() << "the dynamic loader takes this machine's own Firebird client over it";
  }
  if (c.client == Client::OtherBitness && !windowsBuild()) {
    GTEST_SKIP() << "the dynamic loader passes over libraries of the other ELF class";
  }
  TestServer server(servePage);
  RefusingPort refusing;
  std::vector<std::string> args = {"check"};
  args.insert(args.end(), c.database.begin(), c.database.end());
  if (c.page == Page::Skipped) args.push_back("--no-network");
  testing::setEnvironment("NETUPDATE_PAGE_URL",
                          c.page == Page::Served
                              ? server.url("/2018_uzemanyagarak.html")
                              : "http://127.0.0.1:" + std::to_string(refusing.port) + "/");

  const ProgramRun human = runProgram(tool, args);
  args.push_back("--json");
  const ProgramRun json = runProgram(tool, args);
  EXPECT_EQ(json.status, c.exit) << json.out << json.err;
  EXPECT_EQ(human.status, c.exit);
  EXPECT_EQ(json.err, "");
  expectFindings(findings(json.out), c.expect, json.out);
  expectHumanLinesMatch(human.out, json.out);
  // Nothing left behind in the working directory but what the test put there.
  for (const auto& entry : fs::directory_iterator(scene.folder())) {
    EXPECT_EQ(entry.path().extension().string().find(".html"), std::string::npos)
        << entry.path().string();
  }
}

INSTANTIATE_TEST_SUITE_P(Machines, CheckCommand, ::testing::ValuesIn(kCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(CheckCommandUsage, WrongArgumentsAreRefused) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"check", "zepa.fdb"},
           {"check", "zepa.fdb", "SYSDBA"},
           {"check", "zepa.fdb", "SYSDBA", "pw", "szerver", "more"},
           {"check", "--fast"}}) {
    const ProgramRun run = runProgram(NETUPDATE_CLI, args);
    EXPECT_EQ(run.status, 64) << args.back();
    EXPECT_NE(run.err.find("usage: netupdate-cli check"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
  }
}

// A folder nobody may create files in, even root (sysfs): the page file
// cannot be written there and the check says why in the system's words.
TEST(CheckCommandWorkingDirectory, UnwritableFolderIsNamedWithTheSystemsReason) {
  const fs::path folder = "/sys";
  std::error_code error;
  if (!fs::is_directory(folder, error)) GTEST_SKIP() << "no /sys on this system";
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  const ProgramRun run = runProgram(NETUPDATE_CLI, {"check", "--no-network", "--json"});
  fs::current_path(previous);
  const auto got = findings(run.out);
  ASSERT_EQ(got.count("working_directory"), 1u) << run.out;
  if (got.at("working_directory").status == "ok") GTEST_SKIP() << "/sys is writable here";
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(got.at("working_directory").found.find("Cannot create file \""), std::string::npos)
      << run.out;
  EXPECT_NE(got.at("working_directory").remedy.find("munkakönyvtárral"), std::string::npos);
}

// Against real databases: a machine where everything is in place passes
// every line, and the two refusals a real engine gives keep its own words.
TEST(CheckCommandDatabase, RealEngine) {
  using db::testsupport::HostDatabase;
  using db::testsupport::Route;
  struct RealCase {
    const char* name;
    Route route;
    const char* password;
    const char* pathSuffix;
    std::vector<std::string> setup;
    int exit;
    std::vector<Expect> expect;
  };
  const RealCase cases[] = {
      {"AllOk",
       Route::Embedded,
       "masterkey",
       "",
       {},
       0,
       {{"client_library", "ok", "Firebird"},
        {"page_address", "ok", "200 OK"},
        {"database", "ok", "SQL dialektus 3"},
        {"database_tables", "ok", "az egyeztetés 5 utasítása mind előkészíthető"}}},
      {"MissingDatabase",
       Route::Embedded,
       "masterkey",
       ".missing",
       {},
       1,
       {{"database", "fail", "Error while trying to open file"},
        {"database_tables", "skipped", ""}}},
      {"WrongPassword",
       Route::Server,
       "not-the-password",
       "",
       {},
       1,
       {{"database", "fail", "Your user name and password are not defined"},
        {"database", "fail", "ellenőrizze a felhasználónevet és a jelszót"},
        {"server_settings", "", ""}}},
      // Not the host's database: the statements that read and write prices
      // are refused at preparing, each named with the server's reason.
      {"NoPriceTable",
       Route::Embedded,
       "masterkey",
       "",
       {"DROP TABLE UZAAR"},
       1,
       {{"database", "ok", "SQL dialektus 3"},
        {"database_tables", "fail", "tárolt ár: Undefined name. Dynamic SQL Error."},
        {"database_tables", "fail", "Table unknown. UZAAR."},
        {"database_tables", "fail", "NAV ár beírása: "},
        {"database_tables", "fail", "gazdaalkalmazás adatbázisát"}}},
  };
  std::string skipped;
  for (const RealCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (const std::string why = db::testsupport::unavailable(c.route); !why.empty()) {
      skipped += std::string(c.name) + ": " + why + "\n";
      continue;
    }
    CheckScene scene;
    HostDatabase host(c.route, db::testsupport::concat(
                                   {c.setup, db::testsupport::fuelType(1, "Dízel", "Gázolaj")}));
    TestServer server(servePage);
    testing::setEnvironment("NETUPDATE_PAGE_URL", server.url("/2018_uzemanyagarak.html"));
    std::vector<std::string> args = {"check", host.path() + c.pathSuffix, "SYSDBA", c.password};
    if (c.route == Route::Server) {
      const auto where = db::testsupport::FirebirdServer::fromEnvironment();
      args[2] = where.user;
      args.push_back(where.port == 3050 ? where.host
                                        : where.host + "/" + std::to_string(where.port));
    }
    args.push_back("--json");
    const ProgramRun run = runProgram(NETUPDATE_CLI, args);
    EXPECT_EQ(run.status, c.exit) << run.out << run.err;
    expectFindings(findings(run.out), c.expect, run.out);
    if (c.setup.empty()) {
      EXPECT_TRUE(host.uzaarRows().empty()) << "check wrote to the database";
    }
  }
  if (!skipped.empty()) GTEST_SKIP() << skipped;
}

}  // namespace
}  // namespace netupdate::cli
