#include "db/adat_betolt.h"

#include <gtest/gtest.h>

#include <optional>

#include "db/db_error.h"
#include "db/testing/reconcile_test_support.h"

namespace netupdate::db {
namespace {

using common::DialogResult;
using testsupport::concat;
using testsupport::fuelType;
using testsupport::HostDatabase;
using testsupport::RecordingUi;
using testsupport::Route;
using testsupport::storedPrice;

// One run of the reconciliation with everything it reports.
struct Outcome {
  bool result = false;
  common::TUzaArray Uzemanyagok;
  std::vector<DecisionEvent> events;
  RecordingUi ui;
};

void reconcile(Outcome& run, DbComponents& db, const ConnectionValues& values,
               const common::THaviArak& haviarak, bool dryRun = false) {
  ReconcileOptions options;
  options.dryRun = dryRun;
  options.observer = [&run](const DecisionEvent& event) { run.events.push_back(event); };
  run.result = AdatBetolt(db, values, haviarak, run.Uzemanyagok, run.ui, options);
}

common::THaviArak gazolajInMarch(float price) {
  common::THaviArak haviarak;
  haviarak[3].gazolaj = price;
  return haviarak;
}

class ReconcileRoute : public ::testing::TestWithParam<Route> {
 protected:
  void SetUp() override { NETUPDATE_REQUIRE_ROUTE(GetParam()); }
};

std::string routeName(const ::testing::TestParamInfo<Route>& info) {
  return testsupport::routeName(info.param);
}

struct DecisionCase {
  const char* name;
  const char* stored;  // nullptr: no row for March
  float nav;
  DialogResult answer;
  bool asked;
  std::optional<Decision> decision;
  std::vector<std::string> rowsAfter;
};

void PrintTo(const DecisionCase& c, std::ostream* os) {
  *os << c.name;
}

const char* kOld402 = "7|2018-03-01|402.00000|KK|régi|kézi";
const char* kNav405 = "7|2018-03-01|405.00000|AA|Dízel|NAV ÁR";

const DecisionCase kDecisions[] = {
    {"NoRowInserted", nullptr, 405, DialogResult::No, false, Decision::Insert, {kNav405}},
    {"NoRowNoNavPrice", nullptr, 0, DialogResult::Yes, false, std::nullopt, {}},
    {"DifferentYesOverwrites", "402", 405, DialogResult::Yes, true, Decision::Overwrite, {kNav405}},
    {"DifferentNoKeeps", "402", 405, DialogResult::No, true, Decision::Keep, {kOld402}},
    {"DifferentClosedKeeps", "402", 405, DialogResult::Cancel, true, Decision::Keep, {kOld402}},
    {"EqualLeftAlone",
     "405",
     405,
     DialogResult::Yes,
     false,
     std::nullopt,
     {"7|2018-03-01|405.00000|KK|régi|kézi"}},
    {"SameFloatLeftAlone",
     "405.00001",
     405,
     DialogResult::Yes,
     false,
     std::nullopt,
     {"7|2018-03-01|405.00001|KK|régi|kézi"}},
    {"TinyDifferenceAsked",
     "405.004",
     405,
     DialogResult::No,
     true,
     Decision::Keep,
     {"7|2018-03-01|405.00400|KK|régi|kézi"}},
    {"StoredButNoNavPrice", "402", 0, DialogResult::Yes, false, std::nullopt, {kOld402}},
    {"ZeroReplaced", "0", 405, DialogResult::No, false, Decision::Replace, {kNav405}},
    {"NegativeReplaced", "-3", 405, DialogResult::No, false, Decision::Replace, {kNav405}},
    {"NullReplaced", "NULL", 405, DialogResult::No, false, Decision::Replace, {kNav405}},
    {"ZeroAndNoNavPrice",
     "0",
     0,
     DialogResult::Yes,
     false,
     std::nullopt,
     {"7|2018-03-01|0.00000|KK|régi|kézi"}},
};

class DecisionTable : public ::testing::TestWithParam<std::tuple<Route, DecisionCase>> {};

TEST_P(DecisionTable, WritesAndAsksAsDecided) {
  const auto& [route, c] = GetParam();
  NETUPDATE_REQUIRE_ROUTE(route);
  std::vector<std::string> setup = fuelType(7, "Dízel", "Gázolaj");
  if (c.stored != nullptr) setup.push_back(storedPrice(7, 3, c.stored));
  HostDatabase host(route, setup);

  Outcome run;
  run.ui = RecordingUi({c.answer});
  {
    DbComponents db;
    reconcile(run, db, host.values(), gazolajInMarch(c.nav));
  }
  EXPECT_TRUE(run.result);
  EXPECT_TRUE(run.ui.errors.empty());
  EXPECT_EQ(run.ui.questions.size(), c.asked ? 1u : 0u);
  if (c.decision) {
    ASSERT_EQ(run.events.size(), 1u);
    EXPECT_EQ(run.events[0].decision, *c.decision);
    EXPECT_EQ(run.events[0].uzaid, 7);
    EXPECT_EQ(run.events[0].datum, (common::Date{2018, 3, 1}));
    EXPECT_EQ(run.events[0].nav, c.nav);
  } else {
    EXPECT_TRUE(run.events.empty());
  }
  EXPECT_EQ(host.uzaarRows(), c.rowsAfter);
}

INSTANTIATE_TEST_SUITE_P(Rows, DecisionTable,
                         ::testing::Combine(::testing::Values(Route::Embedded, Route::Server),
                                            ::testing::ValuesIn(kDecisions)),
                         [](const auto& param) {
                           return testsupport::routeName(std::get<0>(param.param)) + "_" +
                                  std::get<1>(param.param).name;
                         });

TEST_P(ReconcileRoute, WritesEveryMonthOfTheYearForEveryCategory) {
  HostDatabase host(
      GetParam(),
      concat({fuelType(1, "95-ös benzin", "Benzin ESZ-95"), fuelType(2, "Keverék 1:40", "Keverék"),
              fuelType(3, "Dízel", "Gázolaj"), fuelType(4, "Autógáz", "LPG autógáz")}));
  common::THaviArak haviarak;
  for (int month = 1; month <= 12; ++month) {
    haviarak[month] = {static_cast<float>(300 + month), static_cast<float>(400 + month),
                       static_cast<float>(350 + month), static_cast<float>(200 + month)};
  }
  Outcome run;
  {
    DbComponents db;
    reconcile(run, db, host.values(), haviarak);
  }
  ASSERT_TRUE(run.result);
  EXPECT_TRUE(run.ui.questions.empty());
  ASSERT_EQ(run.Uzemanyagok.size(), 4u);
  EXPECT_EQ(run.Uzemanyagok[1].uzaid, 2);
  EXPECT_EQ(run.Uzemanyagok[1].megnev, "Keverék");
  EXPECT_EQ(run.Uzemanyagok[1].umegnev, "Keverék 1:40");

  std::vector<std::string> expected;
  const char* names[] = {"95-ös benzin", "Keverék 1:40", "Dízel", "Autógáz"};
  for (int id = 1; id <= 4; ++id) {
    for (int month = 1; month <= 12; ++month) {
      const common::THaviAr& prices = haviarak[month];
      const float price = id == 1   ? prices.esz95
                          : id == 2 ? prices.keverek
                          : id == 3 ? prices.gazolaj
                                    : prices.lpg;
      expected.push_back(std::to_string(id) + "|2018-" + KetJegyu(month) + "-01|" +
                         std::to_string(static_cast<int>(price)) + ".00000|AA|" + names[id - 1] +
                         "|NAV ÁR");
    }
  }
  EXPECT_EQ(host.uzaarRows(), expected);
  // The host reads these bytes with its own WIN1250 attachment: "Á" must be 0xC1.
  EXPECT_EQ(host.query("SELECT COUNT(*) FROM UZAAR WHERE CAST(MEGJ AS VARCHAR(50) CHARACTER SET "
                       "OCTETS) = x'4E415620C152' AND JELLEG = 'AA'"),
            std::vector<std::string>{"48"});
}

TEST_P(ReconcileRoute, AsksMonthByMonthAndSeesItsOwnInsertsForARepeatedFuelType) {
  // Fuel 5 is priced by two categories; the second entry finds the price the
  // first one wrote a moment before and asks about it.
  HostDatabase host(GetParam(), concat({fuelType(5, "Vegyes", "Gázolaj"),
                                        {"INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES "
                                         "(5, 'Benzin ESZ-95')"},
                                        fuelType(6, "Dízel", "Gázolaj")}));
  common::THaviArak haviarak;
  haviarak[1] = {410, 0, 400, 0};
  haviarak[2] = {420, 0, 401, 0};
  Outcome run;
  {
    DbComponents db;
    reconcile(run, db, host.values(), haviarak);
  }
  ASSERT_TRUE(run.result);
  ASSERT_EQ(run.Uzemanyagok.size(), 3u);
  EXPECT_EQ(run.Uzemanyagok[0].megnev, "Benzin ESZ-95");
  EXPECT_EQ(run.Uzemanyagok[1].megnev, "Gázolaj");
  EXPECT_EQ(run.Uzemanyagok[2].uzaid, 6);

  std::vector<std::string> seen;
  for (const DecisionEvent& e : run.events) {
    seen.push_back(std::to_string(e.datum.month) + ":" + std::to_string(e.uzaid) + ":" +
                   std::to_string(static_cast<int>(e.decision)) + ":" +
                   std::to_string(static_cast<int>(e.stored)));
  }
  const std::string insert = std::to_string(static_cast<int>(Decision::Insert));
  const std::string keep = std::to_string(static_cast<int>(Decision::Keep));
  EXPECT_EQ(seen, (std::vector<std::string>{"1:5:" + insert + ":0", "1:5:" + keep + ":410",
                                            "1:6:" + insert + ":0", "2:5:" + insert + ":0",
                                            "2:5:" + keep + ":420", "2:6:" + insert + ":0"}));
  ASSERT_EQ(run.ui.questions.size(), 2u);
  EXPECT_NE(
      run.ui.questions[0].find("rögzített ár: 410.00 eltér a NAV által megadott ártól: 400.00"),
      std::string::npos);
}

TEST_P(ReconcileRoute, RoleOnlyWithAServer) {
  HostDatabase host(GetParam(), fuelType(1, "Dízel", "Gázolaj"));
  for (const bool withServer : {false, true}) {
    ConnectionValues values = host.values();
    // The role follows the server value alone; the attach string decides the route.
    values.server = withServer ? "127.0.0.1" : "";
    DbComponents db;
    Outcome run;
    reconcile(run, db, values, common::THaviArak{});
    ASSERT_TRUE(run.result);
    db.QrS.SQL().clear();
    db.QrS.SQL().add(
        "SELECT MON$ROLE FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION");
    db.QrS.ExecQuery();
    EXPECT_EQ(db.QrS.Fields(0).AsString().substr(0, 4), withServer ? "TCP " : "NONE")
        << "server " << values.server;
    EXPECT_EQ(db.Varkona.ConnectParams().RoleName(), withServer ? "TCP" : "");
    EXPECT_EQ(db.Varkona.ConnectParams().CharSet(), "WIN1250");
    db.QrS.Close();
  }
}

TEST_P(ReconcileRoute, SecondRunWhileConnectedIsRefusedBeforeReadingAnything) {
  HostDatabase host(GetParam(), fuelType(1, "Dízel", "Gázolaj"));
  DbComponents db;
  Outcome first;
  reconcile(first, db, host.values(), gazolajInMarch(405));
  ASSERT_TRUE(first.result);
  ASSERT_EQ(host.uzaarRows().size(), 1u);

  Outcome second;
  try {
    reconcile(second, db, host.values(), gazolajInMarch(410));
    FAIL() << "the second run went through";
  } catch (const EDbError& error) {
    EXPECT_STREQ(error.what(), "Cannot perform operation -- DB is currently open.");
  }
  EXPECT_TRUE(second.Uzemanyagok.empty());
  EXPECT_TRUE(second.ui.errors.empty());
  EXPECT_TRUE(second.ui.questions.empty());
  EXPECT_EQ(host.uzaarRows(), std::vector<std::string>{"1|2018-03-01|405.00000|AA|Dízel|NAV ÁR"});
}

INSTANTIATE_TEST_SUITE_P(Routes, ReconcileRoute, ::testing::Values(Route::Embedded, Route::Server),
                         routeName);

struct ConnectFailure {
  const char* name;
  Route route;
  // Turns the working values into failing ones.
  void (*spoil)(ConnectionValues&);
};

const ConnectFailure kConnectFailures[] = {
    {"MissingFile", Route::Embedded, [](ConnectionValues& v) { v.adatbazis += ".missing"; }},
    {"EmptyName", Route::Embedded, [](ConnectionValues& v) { v.adatbazis.clear(); }},
    {"WrongPassword", Route::Server, [](ConnectionValues& v) { v.password = "not-the-password"; }},
    {"UnreachableServer", Route::Server,
     [](ConnectionValues& v) {
       v.adatbazis = "127.0.0.1/" + std::to_string(testsupport::closedLoopbackPort()) + ":" +
                     v.adatbazis.substr(v.adatbazis.find(':') + 1);
     }},
};

void PrintTo(const ConnectFailure& c, std::ostream* os) {
  *os << c.name;
}

class ConnectFailures : public ::testing::TestWithParam<ConnectFailure> {};

TEST_P(ConnectFailures, OneDialogACloseRequestAndNothingTouched) {
  const ConnectFailure& c = GetParam();
  NETUPDATE_REQUIRE_ROUTE(c.route);
  HostDatabase host(c.route, fuelType(1, "Dízel", "Gázolaj"));
  ConnectionValues values = host.values();
  c.spoil(values);

  DbComponents db;
  Outcome run;
  std::string cause;
  ReconcileOptions options;
  options.onConnectFailure = [&cause](const std::exception& e) { cause = e.what(); };
  run.result = AdatBetolt(db, values, gazolajInMarch(405), run.Uzemanyagok, run.ui, options);

  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.ui.errors,
            std::vector<std::string>{"Nem sikerült a kapcsolódás a USER adatbázishoz!"});
  EXPECT_EQ(run.ui.closeRequests, 1);
  EXPECT_FALSE(cause.empty());
  EXPECT_TRUE(run.Uzemanyagok.empty());
  EXPECT_FALSE(db.Varkona.Connected());
  EXPECT_FALSE(db.tr1.Active());
  EXPECT_FALSE(db.tr2.Active());
  EXPECT_TRUE(host.uzaarRows().empty());
}

INSTANTIATE_TEST_SUITE_P(Causes, ConnectFailures, ::testing::ValuesIn(kConnectFailures),
                         [](const auto& param) { return std::string(param.param.name); });

// A machine without the client library: the same guarded failure, before any
// file or server is looked at.
TEST(ConnectFailure, NoClientLibrary) {
  DbComponents db;
  db.Varkona.setClientLibraryNames({"netupdate-no-such-fbclient"});
  Outcome run;
  std::string cause;
  ReconcileOptions options;
  options.onConnectFailure = [&cause](const std::exception& e) { cause = e.what(); };
  const ConnectionValues values{"127.0.0.1:C:\\ZEPA\\zepa.fdb", "SYSDBA", "masterkey", "127.0.0.1"};
  run.result = AdatBetolt(db, values, gazolajInMarch(405), run.Uzemanyagok, run.ui, options);

  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.ui.errors,
            std::vector<std::string>{"Nem sikerült a kapcsolódás a USER adatbázishoz!"});
  EXPECT_EQ(run.ui.closeRequests, 1);
  EXPECT_TRUE(run.ui.questions.empty());
  EXPECT_NE(cause.find("Cannot load the Firebird client library: netupdate-no-such-fbclient"),
            std::string::npos)
      << cause;
  EXPECT_TRUE(run.Uzemanyagok.empty());
  EXPECT_FALSE(db.Varkona.Connected());
  EXPECT_FALSE(db.tr1.Active());
  EXPECT_FALSE(db.tr2.Active());
}

}  // namespace
}  // namespace netupdate::db
