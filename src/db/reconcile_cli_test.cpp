#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/testing/nav_pages.h"
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
    {"NavNotAYear", {"db", "SYSDBA", "pw", "--nav", "26"}},
    {"TwoPages", {"db", "SYSDBA", "pw", "--page", "p", "--nav", "2026"}},
    {"PricingUnknown", {"db", "SYSDBA", "pw", "--nav-page", "p", "--pricing", "cheap"}},
    {"PricingForThe2018Page", {"db", "SYSDBA", "pw", "--page", "p", "--pricing", "capped"}},
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

// NAV's pages of other years, saved: the year is the table's, the prices
// the columns' the user chose, and nothing is attached before the page is read.
class SyncNavPage : public ::testing::Test {
 protected:
  void SetUp() override {
    NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
    const std::map<std::string, std::string> site = cli::testing::navTestSite();
    for (const int year : {2026, 2025, 2021}) {
      std::ofstream(std::filesystem::path(page(year)), std::ios::binary)
          << site.at(cli::testing::navTestPath(year));
    }
  }
  void TearDown() override {
    for (const int year : {2026, 2025, 2021}) std::filesystem::remove(page(year));
  }

  static std::string page(int year) {
    return (std::filesystem::temp_directory_path() /
            ("netupdate-nav-" + std::to_string(year) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".html"))
        .string();
  }

  static std::vector<std::string> fuelTypes() {
    return concat({fourFuelTypes(), fuelType(5, "Földgáz", "CNG autógáz")});
  }
};

TEST_F(SyncNavPage, CappedThenMarketPricesOfAYearWithBoth) {
  HostDatabase host(Route::Embedded, fuelTypes());
  // Both choices are named, and nothing is attached.
  const Result refused = runSync(withArgs(commandLine(host), {"--nav-page", page(2026)}));
  EXPECT_EQ(refused.status, 64);
  for (const char* piece :
       {"2026 has both a capped and a market price for Benzin ESZ-95",
        "\"Gázolaj (védett ár) (Ft/l)\" and \"Gázolaj (piaci árszabás) (Ft/l)\"",
        "--pricing capped", "--pricing market", "usage: netupdate-cli sync"}) {
    EXPECT_NE(refused.err.find(piece), std::string::npos) << piece << "\n" << refused.err;
  }
  EXPECT_EQ(refused.out, "");
  EXPECT_TRUE(host.uzaarRows().empty());

  // Capped where there is a capped price (March has none), CNG never.
  const Result capped =
      runSync(withArgs(commandLine(host), {"--nav-page", page(2026), "--pricing", "capped"}));
  ASSERT_EQ(capped.status, 0) << capped.err;
  const std::vector<std::string> lines = capped.outLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "page 2026 " + page(2026));
  EXPECT_EQ(lines.back(),
            "summary: 5 fuel types, 60 lookups, 11 insert, 0 replace, 0 overwrite, 0 keep");
  EXPECT_EQ(host.uzaarRows(), (std::vector<std::string>{
                                  "1|2026-01-01|575.00000|AA|95-ös benzin|NAV ÁR",
                                  "1|2026-02-01|572.00000|AA|95-ös benzin|NAV ÁR",
                                  "1|2026-03-01|612.00000|AA|95-ös benzin|NAV ÁR",
                                  "2|2026-02-01|628.00000|AA|Keverék|NAV ÁR",
                                  "2|2026-03-01|640.00000|AA|Keverék|NAV ÁR",
                                  "3|2026-01-01|592.00000|AA|Dízel|NAV ÁR",
                                  "3|2026-02-01|589.00000|AA|Dízel|NAV ÁR",
                                  "3|2026-03-01|634.00000|AA|Dízel|NAV ÁR",
                                  "4|2026-01-01|299.50000|AA|Autógáz|NAV ÁR",
                                  "4|2026-02-01|298.00000|AA|Autógáz|NAV ÁR",
                                  "4|2026-03-01|301.00000|AA|Autógáz|NAV ÁR",
                              }));

  // The market price overwrites the capped one where they differ, after a
  // question dated in the page's year.
  const Result market = runSync(withArgs(
      commandLine(host), {"--nav-page", page(2026), "--pricing", "market", "--answer", "yes"}));
  ASSERT_EQ(market.status, 0) << market.err;
  std::vector<std::string> overwrites = lineSet(market.outLines(), "overwrite ");
  std::sort(overwrites.begin(), overwrites.end());
  EXPECT_EQ(overwrites,
            (std::vector<std::string>{
                "overwrite 1 2026.01.01 575.00 601.00", "overwrite 1 2026.02.01 572.00 598.00",
                "overwrite 3 2026.01.01 592.00 618.00", "overwrite 3 2026.02.01 589.00 615.00"}));
  EXPECT_NE(market.out.find("? Az alábbi üzemanyag típusnál: Gázolaj a 2026.02.01 dátumhoz "
                            "rögzített ár: 589.00 eltér a NAV által megadott ártól: 615.00\n"),
            std::string::npos)
      << market.out;
  EXPECT_EQ(market.outLines().back(),
            "summary: 5 fuel types, 60 lookups, 0 insert, 0 replace, 4 overwrite, 0 keep");
  EXPECT_EQ(host.query("SELECT CAST(SUM(UZAAR) AS INTEGER) FROM UZAAR WHERE UZAID IN (1, 3) AND "
                       "EXTRACT(MONTH FROM DATUM) < 3"),
            std::vector<std::string>{"2432"});
  EXPECT_EQ(host.query("SELECT COUNT(*) FROM UZAAR"), std::vector<std::string>{"11"});
}

TEST_F(SyncNavPage, PageOfOneFuelAColumnNeedsNoChoice) {
  HostDatabase host(Route::Embedded, fuelTypes());
  const Result result = runSync(withArgs(commandLine(host), {"--nav-page", page(2025)}));
  ASSERT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(lineSet(result.outLines(), "insert ").size(), 48u);
  // December is 2025's own, not the previous year's row at the table's end.
  EXPECT_EQ(host.query("SELECT CAST(UZAAR AS INTEGER) FROM UZAAR WHERE UZAID = 1 AND DATUM = "
                       "'2025-12-01'"),
            std::vector<std::string>{"612"});
  EXPECT_EQ(host.query("SELECT COUNT(*) FROM UZAAR WHERE UZAID = 5 OR EXTRACT(YEAR FROM DATUM) "
                       "<> 2025"),
            std::vector<std::string>{"0"});
}

TEST_F(SyncNavPage, PageThatCannotBeReadWritesNothing) {
  HostDatabase host(Route::Embedded, fuelTypes());
  const struct {
    std::string page;
    std::string reason;
  } cases[] = {
      {page(2021), "colspan"},
      {page(2021) + ".missing", "The specified file was not found"},
  };
  for (const auto& c : cases) {
    const Result result = runSync(withArgs(commandLine(host), {"--nav-page", c.page}));
    EXPECT_EQ(result.status, 2) << c.page;
    EXPECT_NE(result.err.find(c.reason), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "");
  }
  EXPECT_TRUE(host.uzaarRows().empty());
}

}  // namespace
}  // namespace netupdate::db
