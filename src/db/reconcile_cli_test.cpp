#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/testing/run_program.h"
#include "db/testing/reconcile_test_support.h"
#include "db/testing/test_platform.h"

namespace netupdate::db {
namespace {

using testsupport::concat;
using testsupport::fuelType;
using testsupport::HostDatabase;
using testsupport::Route;
using testsupport::storedPrice;

const std::string kPage = NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html";

struct Result {
  int status = -1;
  std::string out;
  std::string err;

  std::vector<std::string> outLines() const {
    std::vector<std::string> lines;
    std::istringstream stream(out);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }
};

// Runs netupdate-cli sync with the arguments and collects what it wrote.
Result runSync(const std::vector<std::string>& args) {
  std::vector<std::string> arguments = {"sync"};
  arguments.insert(arguments.end(), args.begin(), args.end());
  cli::testing::ProgramRun run = cli::testing::runProgram(NETUPDATE_CLI, arguments);
  return {run.status, std::move(run.out), std::move(run.err)};
}

std::vector<std::string> lineSet(const std::vector<std::string>& lines, const std::string& start) {
  std::vector<std::string> picked;
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(picked),
               [&start](const std::string& line) { return line.rfind(start, 0) == 0; });
  return picked;
}

// One fuel type per NAV category, as a host usually has them.
std::vector<std::string> fourFuelTypes() {
  return concat({fuelType(1, "95-ös benzin", "Benzin ESZ-95"), fuelType(2, "Keverék", "Keverék"),
                 fuelType(3, "Dízel", "Gázolaj"), fuelType(4, "Autógáz", "LPG autógáz")});
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
};

void PrintTo(const UsageCase& c, std::ostream* os) {
  *os << c.name;
}

const UsageCase kUsage[] = {
    {"Nothing", {}},
    {"TooFewPositionals", {"db", "SYSDBA", "--page", "p"}},
    {"TooManyPositionals", {"db", "SYSDBA", "pw", "srv", "more", "--page", "p"}},
    {"NoPage", {"db", "SYSDBA", "pw"}},
    {"PageWithoutValue", {"db", "SYSDBA", "pw", "--page"}},
    {"EmptyPage", {"db", "SYSDBA", "pw", "--page", ""}},
    {"AnswerNotYesOrNo", {"db", "SYSDBA", "pw", "--page", "p", "--answer", "maybe"}},
    {"UnknownOption", {"db", "SYSDBA", "pw", "--page", "p", "--force"}},
};

class SyncUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(SyncUsage, RefusedWithUsage) {
  const Result result = runSync(GetParam().args);
  EXPECT_EQ(result.status, 64);
  EXPECT_NE(result.err.find("usage: netupdate-cli sync"), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty());
}

INSTANTIATE_TEST_SUITE_P(Args, SyncUsage, ::testing::ValuesIn(kUsage),
                         [](const auto& param) { return std::string(param.param.name); });

std::vector<std::string> commandLine(const HostDatabase& host) {
  // The host passes the plain path and the server apart; the tool joins them.
  if (host.route() == Route::Embedded) return {host.path(), "SYSDBA", "masterkey"};
  const auto server = testsupport::FirebirdServer::fromEnvironment();
  const std::string where =
      server.port == 3050 ? server.host : server.host + "/" + std::to_string(server.port);
  return {host.path(), server.user, server.password, where};
}

std::vector<std::string> withArgs(std::vector<std::string> args,
                                  const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

class SyncRoute : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override { NETUPDATE_REQUIRE_ROUTE(GetParam()); }
};

TEST_P(SyncRoute, SamplePageFillsAnEmptyYear) {
  HostDatabase host(GetParam(), fourFuelTypes());
  const Result result = runSync(withArgs(commandLine(host), {"--page", kPage}));
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = result.outLines();
  ASSERT_EQ(lines.size(), 49u) << result.out;
  EXPECT_EQ(lineSet(lines, "insert ").size(), 48u);
  EXPECT_EQ(lines[0], "insert 1 2018.01.01 366.00");
  EXPECT_EQ(lines[2], "insert 3 2018.01.01 379.00");
  EXPECT_EQ(lines.back(),
            "summary: 4 fuel types, 48 lookups, 48 insert, 0 replace, 0 overwrite, 0 keep");

  EXPECT_EQ(host.query("SELECT COUNT(*) FROM UZAAR WHERE JELLEG = 'AA' AND EXTRACT(DAY FROM "
                       "DATUM) = 1 AND EXTRACT(YEAR FROM DATUM) = 2018 AND CAST(MEGJ AS "
                       "VARCHAR(50) CHARACTER SET OCTETS) = x'4E415620C152'"),
            std::vector<std::string>{"48"});
  EXPECT_EQ(host.query("SELECT COUNT(DISTINCT DATUM) FROM UZAAR"), std::vector<std::string>{"12"});
  EXPECT_EQ(host.query("SELECT UZANEV FROM UZAAR WHERE UZAID = 2 AND DATUM = '2018-01-01'"),
            std::vector<std::string>{"Keverék"});
  EXPECT_EQ(host.query("SELECT CAST(UZAAR AS INTEGER) FROM UZAAR WHERE UZAID = 4 AND DATUM = "
                       "'2018-01-01'"),
            std::vector<std::string>{"241"});
}

TEST_P(SyncRoute, ConnectionFailureIsExitOne) {
  HostDatabase host(GetParam(), fourFuelTypes());
  std::vector<std::string> args = commandLine(host);
  if (GetParam() == Route::Embedded) {
    args[0] += ".missing";
  } else {
    args[2] = "not-the-password";
  }
  const Result result = runSync(withArgs(args, {"--page", kPage}));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("Nem sikerült a kapcsolódás a USER adatbázishoz!"), std::string::npos)
      << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_TRUE(host.uzaarRows().empty());
}

INSTANTIATE_TEST_SUITE_P(Routes, SyncRoute, ::testing::Values(Route::Embedded, Route::Server),
                         [](const auto& param) { return testsupport::routeName(param.param); });

// What a machine without the Firebird client library gets: the ordinary
// connection failure, with the loader's reason as the cause.
TEST(Sync, NoClientLibraryIsAConnectionFailure) {
  if (testsupport::engineUnavailable().empty()) {
    GTEST_SKIP() << "the Firebird client library is installed here";
  }
  const Result result =
      runSync({"C:\\ZEPA\\Könyvelés\\zepa.fdb", "SYSDBA", "masterkey", "--page", kPage});
  EXPECT_EQ(result.status, 1) << result.err;
  EXPECT_NE(result.err.find("Nem sikerült a kapcsolódás a USER adatbázishoz!"), std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("Cannot load the Firebird client library"), std::string::npos)
      << result.err;
  EXPECT_TRUE(result.out.empty()) << result.out;
}

struct AnswerCase {
  const char* name;
  std::vector<std::string> options;
  std::vector<std::string> decisions;
  std::string januaryDiesel;  // UZAID 3 afterwards
  const char* summary;
};

void PrintTo(const AnswerCase& c, std::ostream* os) {
  *os << c.name;
}

const AnswerCase kAnswers[] = {
    {"DefaultNo",
     {},
     {"keep 3 2018.01.01 402.00 379.00", "replace 4 2018.01.01 0.00 241.00"},
     "402.00000",
     "summary: 4 fuel types, 48 lookups, 0 insert, 1 replace, 0 overwrite, 1 keep"},
    {"Yes",
     {"--answer", "yes"},
     {"overwrite 3 2018.01.01 402.00 379.00", "replace 4 2018.01.01 0.00 241.00"},
     "379.00000",
     "summary: 4 fuel types, 48 lookups, 0 insert, 1 replace, 1 overwrite, 0 keep"},
    {"YesDryRun",
     {"--dry-run", "--answer", "yes"},
     {"overwrite 3 2018.01.01 402.00 379.00", "replace 4 2018.01.01 0.00 241.00"},
     "402.00000",
     "summary: 4 fuel types, 48 lookups, 0 insert, 1 replace, 1 overwrite, 0 keep (dry run, "
     "nothing written)"},
};

class SyncAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(SyncAnswers, QuestionsAnsweredFromTheCommandLine) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  const AnswerCase& c = GetParam();
  // Every price of the year is in place except diesel's (differs) and LPG's
  // (stored as 0) in January.
  HostDatabase host(Route::Embedded, fourFuelTypes());
  ASSERT_EQ(runSync(withArgs(commandLine(host), {"--page", kPage})).status, 0);
  host.temp().execute("UPDATE UZAAR SET UZAAR = 402 WHERE UZAID = 3 AND DATUM = '2018-01-01'");
  host.temp().execute("UPDATE UZAAR SET UZAAR = 0 WHERE UZAID = 4 AND DATUM = '2018-01-01'");

  const Result result =
      runSync(withArgs(commandLine(host), withArgs({"--page", kPage}, c.options)));
  ASSERT_EQ(result.status, 0) << result.err;
  const std::vector<std::string> lines = result.outLines();
  std::vector<std::string> decisions;
  for (const char* word : {"insert ", "replace ", "overwrite ", "keep "}) {
    for (const std::string& line : lineSet(lines, word)) decisions.push_back(line);
  }
  std::sort(decisions.begin(), decisions.end());
  std::vector<std::string> expected = c.decisions;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(decisions, expected);
  const std::string answer = c.name == std::string("DefaultNo") ? "no" : "yes";
  EXPECT_EQ(
      lineSet(lines, "? "),
      (std::vector<std::string>{"? Az alábbi üzemanyag típusnál: Gázolaj a 2018.01.01 "
                                "dátumhoz rögzített ár: 402.00 eltér a NAV által megadott "
                                "ártól: 379.00",
                                "? Kívánja az NAV által megadott árat rögzíteni? " + answer}));
  EXPECT_EQ(lines.back(), c.summary);
  EXPECT_EQ(host.query("SELECT CAST(UZAAR AS NUMERIC(18, 5)) FROM UZAAR WHERE UZAID = 3 AND DATUM "
                       "= '2018-01-01'"),
            std::vector<std::string>{c.januaryDiesel});
}

INSTANTIATE_TEST_SUITE_P(Answers, SyncAnswers, ::testing::ValuesIn(kAnswers),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Sync, LaterErrorIsExitTwoAfterTheDecisionsMadeSoFar) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  // LPG's own name is too long for UZAAR.UZANEV: January's fourth insert fails.
  HostDatabase host(Route::Embedded,
                    concat({{"DROP TABLE UZAAR",
                             "CREATE TABLE UZAAR (UZAID INTEGER, DATUM DATE, UZAAR DOUBLE "
                             "PRECISION, JELLEG CHAR(2), UZANEV VARCHAR(12), MEGJ VARCHAR(50))"},
                            fuelType(1, "Benzin", "Benzin ESZ-95"),
                            fuelType(2, "Autógáz a tartályból", "LPG autógáz")}));
  const Result result = runSync(withArgs(commandLine(host), {"--page", kPage}));
  EXPECT_EQ(result.status, 2);
  EXPECT_EQ(result.outLines(), std::vector<std::string>{"insert 1 2018.01.01 366.00"});
  EXPECT_NE(result.err.find("MainFrm.QrI"), std::string::npos) << result.err;
  EXPECT_EQ(host.uzaarRows().size(), 1u);
}

TEST(Sync, MissingPageIsAnErrorNotAnEmptyTable) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  HostDatabase host(Route::Embedded, fourFuelTypes());
  const Result result = runSync(withArgs(commandLine(host), {"--page", kPage + ".missing"}));
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("no page file"), std::string::npos) << result.err;
  EXPECT_TRUE(host.uzaarRows().empty());
}

}  // namespace
}  // namespace netupdate::db
