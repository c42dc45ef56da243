#include <gtest/gtest.h>

#include "db/adat_betolt.h"
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

common::THaviArak gazolajInMarch(float price) {
  common::THaviArak haviarak;
  haviarak[3].gazolaj = price;
  return haviarak;
}

common::THaviArak everyCategoryAllYear(float price) {
  common::THaviArak haviarak;
  for (int month = 1; month <= 12; ++month) haviarak[month] = {price, price, price, price};
  return haviarak;
}

// A price table keyed by fuel type and day, as some hosts keep it.
const std::vector<std::string> kKeyedUzaar = {
    "DROP TABLE UZAAR",
    "CREATE TABLE UZAAR (UZAID INTEGER NOT NULL, DATUM DATE NOT NULL, UZAAR DOUBLE PRECISION,"
    " JELLEG CHAR(2), UZANEV VARCHAR(40), MEGJ VARCHAR(50), PRIMARY KEY (UZAID, DATUM))",
};

TEST(Question, TextByteForByte) {
  EXPECT_EQ(overwriteQuestion("Gázolaj", {2018, 3, 1}, 402, 405),
            "Az alábbi üzemanyag típusnál: Gázolaj a 2018.03.01 dátumhoz rögzített ár: 402.00"
            " eltér a NAV által megadott ártól: 405.00\r\r"
            "Kívánja az NAV által megadott árat rögzíteni?");
  // No digit before the separator below 1, and the float's own value is what is rounded.
  EXPECT_EQ(overwriteQuestion("LPG autógáz", {2018, 12, 1}, 0.5f, 405.004f),
            "Az alábbi üzemanyag típusnál: LPG autógáz a 2018.12.01 dátumhoz rögzített ár: .50"
            " eltér a NAV által megadott ártól: 405.00\r\r"
            "Kívánja az NAV által megadott árat rögzíteni?");
}

TEST(Question, KetJegyu) {
  const std::pair<int, const char*> cases[] = {{1, "01"}, {9, "09"}, {10, "10"}, {12, "12"}};
  for (const auto& [value, text] : cases) EXPECT_EQ(KetJegyu(value), text);
}

struct CategoryCase {
  const char* name;
  const char* columnType;  // of UZA_APEH.UZA_MEGNEV
  const char* megnev;
  int rowsWritten;
};

const CategoryCase kCategories[] = {
    {"Petrol", "VARCHAR(30)", "Benzin ESZ-95", 12},
    {"Mixture", "VARCHAR(30)", "Keverék", 12},
    {"Diesel", "VARCHAR(30)", "Gázolaj", 12},
    {"Lpg", "VARCHAR(30)", "LPG autógáz", 12},
    {"LowerCase", "VARCHAR(30)", "gázolaj", 0},
    {"UpperCase", "VARCHAR(30)", "GÁZOLAJ", 0},
    {"TrailingBlank", "VARCHAR(30)", "Gázolaj ", 0},
    {"PaddedCharColumn", "CHAR(20)", "Gázolaj", 0},
    {"OtherCategory", "VARCHAR(30)", "Benzin ESZ-98", 0},
};

void PrintTo(const CategoryCase& c, std::ostream* os) {
  *os << c.name;
}

class Categories : public ::testing::TestWithParam<CategoryCase> {};

TEST_P(Categories, OnlyTheExactNamePricesAFuelType) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  const CategoryCase& c = GetParam();
  HostDatabase host(Route::Embedded,
                    {"DROP TABLE UZA_APEH",
                     std::string("CREATE TABLE UZA_APEH (UZA_ID INTEGER NOT NULL, UZA_MEGNEV ") +
                         c.columnType + " CHARACTER SET WIN1250)",
                     "INSERT INTO UZA (UZAID, UZANEV) VALUES (1, 'Próba')",
                     std::string("INSERT INTO UZA_APEH VALUES (1, '") + c.megnev + "')"});
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui;
  ASSERT_TRUE(AdatBetolt(db, host.values(), everyCategoryAllYear(400), Uzemanyagok, ui));
  ASSERT_EQ(Uzemanyagok.size(), 1u);
  EXPECT_EQ(Uzemanyagok[0].megnev.substr(0, std::string(c.megnev).size()), c.megnev);
  EXPECT_EQ(host.uzaarRows().size(), static_cast<std::size_t>(c.rowsWritten));
  EXPECT_TRUE(ui.questions.empty());
}

INSTANTIATE_TEST_SUITE_P(Names, Categories, ::testing::ValuesIn(kCategories),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(Reconcile, NoFuelTypesNothingLookedUp) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  // A placeholder row (UZA_ID 0) and a fuel type without a category row.
  HostDatabase host(Route::Embedded,
                    {"INSERT INTO UZA (UZAID, UZANEV) VALUES (0, 'Nincs')",
                     "INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (0, 'Gázolaj')",
                     "INSERT INTO UZA (UZAID, UZANEV) VALUES (3, 'Árva')"});
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui;
  EXPECT_TRUE(AdatBetolt(db, host.values(), everyCategoryAllYear(400), Uzemanyagok, ui));
  EXPECT_TRUE(Uzemanyagok.empty());
  EXPECT_TRUE(host.uzaarRows().empty());
  EXPECT_TRUE(ui.errors.empty());
}

// Mended: an overwrite removed the old price and committed that before its
// insert ran, so a failing insert left the month without any price.
struct FailingInsert {
  const char* name;
  std::vector<std::string> setup;
};

void PrintTo(const FailingInsert& c, std::ostream* os) {
  *os << c.name;
}

const FailingInsert kFailingInserts[] = {
    {"CheckConstraint",
     {"DROP TABLE UZAAR",
      "CREATE TABLE UZAAR (UZAID INTEGER NOT NULL, DATUM DATE NOT NULL, UZAAR DOUBLE PRECISION"
      " CHECK (UZAAR < 1000), JELLEG CHAR(2), UZANEV VARCHAR(40), MEGJ VARCHAR(50),"
      " PRIMARY KEY (UZAID, DATUM))"}},
    {"Trigger",
     {"CREATE EXCEPTION AR_TUL_NAGY 'Az ár túl nagy'",
      "CREATE TRIGGER UZAAR_BI FOR UZAAR BEFORE INSERT AS BEGIN"
      " IF (NEW.UZAAR >= 1000) THEN EXCEPTION AR_TUL_NAGY; END"}},
};

class FailingInserts : public ::testing::TestWithParam<std::tuple<Route, FailingInsert>> {};

TEST_P(FailingInserts, OverwriteKeepsTheOldPriceWhenItsInsertFails) {
  const auto& [route, c] = GetParam();
  NETUPDATE_REQUIRE_ROUTE(route);
  HostDatabase host(route, concat({c.setup,
                                   fuelType(7, "Dízel", "Gázolaj"),
                                   {storedPrice(7, 3, "402"), storedPrice(7, 4, "402")}}));
  common::THaviArak haviarak = gazolajInMarch(1500);
  haviarak[4].gazolaj = 405;
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui({DialogResult::Yes, DialogResult::Yes});
  EXPECT_THROW(AdatBetolt(db, host.values(), haviarak, Uzemanyagok, ui), EDbError);
  EXPECT_FALSE(db.tr2.Active());
  // March kept its price and the run stopped there: April was never asked about.
  EXPECT_EQ(ui.questions.size(), 1u);
  EXPECT_EQ(host.uzaarRows(), (std::vector<std::string>{"7|2018-03-01|402.00000|KK|régi|kézi",
                                                        "7|2018-04-01|402.00000|KK|régi|kézi"}));
}

TEST_P(FailingInserts, ReplacementKeepsTheUnpricedRowWhenItsInsertFails) {
  const auto& [route, c] = GetParam();
  NETUPDATE_REQUIRE_ROUTE(route);
  HostDatabase host(route,
                    concat({c.setup, fuelType(7, "Dízel", "Gázolaj"), {storedPrice(7, 3, "0")}}));
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui;
  EXPECT_THROW(AdatBetolt(db, host.values(), gazolajInMarch(1500), Uzemanyagok, ui), EDbError);
  EXPECT_FALSE(db.tr2.Active());
  EXPECT_EQ(host.uzaarRows(), std::vector<std::string>{"7|2018-03-01|0.00000|KK|régi|kézi"});
}

INSTANTIATE_TEST_SUITE_P(Setups, FailingInserts,
                         ::testing::Combine(::testing::Values(Route::Embedded, Route::Server),
                                            ::testing::ValuesIn(kFailingInserts)),
                         [](const auto& param) {
                           return testsupport::routeName(std::get<0>(param.param)) + "_" +
                                  std::get<1>(param.param).name;
                         });

// Mended: a row without a usable price got NAV's price inserted beside it,
// which on a keyed table failed and stopped the whole run.
TEST(Reconcile, UnpricedRowsGiveWayToNavPriceOnAKeyedTable) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  const char* unpriced[] = {"0", "-3", "NULL"};
  for (const char* stored : unpriced) {
    SCOPED_TRACE(stored);
    HostDatabase host(Route::Embedded,
                      concat({kKeyedUzaar,
                              fuelType(7, "Dízel", "Gázolaj"),
                              {storedPrice(7, 3, stored), storedPrice(7, 5, "402")}}));
    common::THaviArak haviarak = gazolajInMarch(405);
    haviarak[5].gazolaj = 405;
    DbComponents db;
    common::TUzaArray Uzemanyagok;
    RecordingUi ui;
    ASSERT_TRUE(AdatBetolt(db, host.values(), haviarak, Uzemanyagok, ui));
    EXPECT_EQ(ui.questions.size(), 1u);  // May's positive price is still asked about
    EXPECT_EQ(host.uzaarRows(), (std::vector<std::string>{"7|2018-03-01|405.00000|AA|Dízel|NAV ÁR",
                                                          "7|2018-05-01|402.00000|KK|régi|kézi"}));
  }
}

TEST(Reconcile, ReplacementRemovesOnlyTheUnpricedRowsOfThatDay) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  HostDatabase host(Route::Embedded, concat({fuelType(7, "Dízel", "Gázolaj"),
                                             fuelType(8, "Másik", "Gázolaj"),
                                             {storedPrice(7, 3, "0"), storedPrice(7, 3, "NULL"),
                                              storedPrice(7, 4, "0"), storedPrice(8, 3, "0")}}));
  common::THaviArak haviarak = gazolajInMarch(405);
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui;
  ASSERT_TRUE(AdatBetolt(db, host.values(), haviarak, Uzemanyagok, ui));
  EXPECT_EQ(host.uzaarRows(), (std::vector<std::string>{"7|2018-03-01|405.00000|AA|Dízel|NAV ÁR",
                                                        "7|2018-04-01|0.00000|KK|régi|kézi",
                                                        "8|2018-03-01|405.00000|AA|Másik|NAV ÁR"}));
}

TEST(Reconcile, LaterFailureStopsTheRunAndKeepsWhatWasCommitted) {
  NETUPDATE_REQUIRE_ROUTE(Route::Embedded);
  // Fuel 2's own name does not fit UZAAR.UZANEV: its first insert fails.
  HostDatabase host(Route::Embedded,
                    concat({{"DROP TABLE UZAAR",
                             "CREATE TABLE UZAAR (UZAID INTEGER, DATUM DATE, UZAAR DOUBLE "
                             "PRECISION, JELLEG CHAR(2), UZANEV VARCHAR(10), MEGJ VARCHAR(50))"},
                            fuelType(1, "Dízel", "Gázolaj"),
                            fuelType(2, "Nagyon hosszú nevű dízel", "Gázolaj")}));
  DbComponents db;
  common::TUzaArray Uzemanyagok;
  RecordingUi ui;
  try {
    AdatBetolt(db, host.values(), everyCategoryAllYear(400), Uzemanyagok, ui);
    FAIL() << "the run went through";
  } catch (const EDbError& error) {
    EXPECT_NE(std::string(error.what()).find("MainFrm.QrI"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(host.uzaarRows(), std::vector<std::string>{"1|2018-01-01|400.00000|AA|Dízel|NAV ÁR"});
}

}  // namespace
}  // namespace netupdate::db
