#pragma once

#include <deque>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/user_interface.h"
#include "db/adat_betolt.h"
#include "db/testing/temp_database.h"

namespace netupdate::db::testsupport {

// Stands in for the person at the window: records every dialog and answers
// the questions from a script (No once the script is used up).
class RecordingUi : public common::UserInterface {
 public:
  explicit RecordingUi(std::deque<common::DialogResult> answers = {})
      : m_answers(std::move(answers)) {}

  void showError(const std::string& message) override { errors.push_back(message); }
  common::DialogResult confirm(const std::string& message) override;
  void requestClose() override { ++closeRequests; }

  std::vector<std::string> errors;
  std::vector<std::string> questions;
  int closeRequests = 0;

 private:
  std::deque<common::DialogResult> m_answers;
};

// How the code under test reaches the database.
enum class Route { Embedded, Server };

std::string routeName(Route route);
// The route by name in test listings.
void PrintTo(Route route, std::ostream* os);

// Why a test over the route cannot run here, or empty: no Firebird client
// library (the Windows build), or no server for Route::Server.
std::string unavailable(Route route);

// A fresh database with the host's three tables, reached the embedded way or
// through the local Firebird server.
class HostDatabase {
 public:
  // The statements run after the host's schema, e.g. to reshape a table or add rows.
  explicit HostDatabase(Route route, const std::vector<std::string>& setupSql = {});

  TempDatabase& temp() { return m_temp; }
  Route route() const { return m_route; }
  const std::string& path() const { return m_temp.path(); }

  // What the host passes on its command line for this route.
  ConnectionValues values() const;

  // The first column of every row as text, read on a connection of its own over the
  // same route (the server keeps the file to itself while it has it open).
  std::vector<std::string> query(std::string_view sql) const;

  // UZAAR as "UZAID|DATUM|UZAAR|JELLEG|UZANEV|MEGJ" lines, ordered.
  std::vector<std::string> uzaarRows() const;

 private:
  // Reads a SELECT whose one column is text.
  std::vector<std::string> readText(const std::string& sql) const;

  Route m_route;
  TempDatabase m_temp;
};

// Whether the server tests can run; they are skipped with a note otherwise.
bool serverAvailable();

// The host schema file as statements without its comments.
std::string hostSchemaScript();

// Setup statements for one fuel type: a row in UZA and one in UZA_APEH.
std::vector<std::string> fuelType(int uzaid, std::string_view uzanev, std::string_view megnev);

// A price row entered by hand in the host for the first day of a 2018 month,
// shown by uzaarRows() as "UZAID|2018-MM-01|PRICE|KK|régi|kézi"; "NULL" stores NULL.
std::string storedPrice(int uzaid, int month, std::string_view price);

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts);

}  // namespace netupdate::db::testsupport

// At the start of a test (or SetUp) that reaches the database over the route.
#define NETUPDATE_REQUIRE_ROUTE(route)                                                   \
  if (const std::string netupdateWhy = ::netupdate::db::testsupport::unavailable(route); \
      !netupdateWhy.empty())                                                             \
  GTEST_SKIP() << netupdateWhy
