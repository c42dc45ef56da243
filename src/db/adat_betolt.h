#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "common/format_settings.h"
#include "common/prices.h"
#include "common/user_interface.h"
#include "db/db_components.h"

namespace netupdate::db {

// What the host application handed over on the command line.
struct ConnectionValues {
  std::string adatbazis;  // the path, or server + ":" + path when a server is set
  std::string username;
  std::string password;
  std::string server;  // empty: none
};

// What the reconciliation did about one fuel type in one month, for callers
// that show or count the run's work. Only steps that write or ask are reported.
enum class Decision {
  Insert,     // no usable stored price: NAV's price written without asking
  Replace,    // a stored row priced 0, negative or NULL replaced by NAV's price
  Overwrite,  // a differing price overwritten after a Yes
  Keep,       // a differing price left as it is after any other answer
};

struct DecisionEvent {
  Decision decision = Decision::Insert;
  std::int32_t uzaid = 0;
  common::Date datum;
  float stored = 0;  // the stored price as compared (0 when no row came back)
  float nav = 0;
};

struct ReconcileOptions {
  // The price year, as the text the month dates are built from: YEAR.MM.01.
  // The window's is fixed; the companion tool reconciles any year's database.
  std::string ev = common::ev;
  // Read, compare and ask as usual but write nothing.
  bool dryRun = false;
  // Called once a decision is carried out (in a dry run: once it is made).
  std::function<void(const DecisionEvent&)> observer;
  // Called with the cause when the attachment fails, after the dialog, which
  // names no cause.
  std::function<void(const std::exception&)> onConnectFailure;
};

// Brings UZAAR in line with NAV's monthly prices. Returns false after showing
// the connection error and requesting the close when the attachment fails;
// every later failure propagates as an exception.
bool AdatBetolt(DbComponents& db, const ConnectionValues& values, const common::THaviArak& haviarak,
                common::TUzaArray& Uzemanyagok, common::UserInterface& ui);

bool AdatBetolt(DbComponents& db, const ConnectionValues& values, const common::THaviArak& haviarak,
                common::TUzaArray& Uzemanyagok, common::UserInterface& ui,
                const ReconcileOptions& options);

// The attach settings of a run: the same path, user, password, role and
// character set wherever the database is attached for it.
void setConnectionValues(TDbConnection& Varkona, const ConnectionValues& values);

// The reconciliation's statements, exactly as it sends them: for a check
// that prepares them without running them. `writes`: run on QrI.
struct ReconcileStatement {
  const char* use;  // in the user's words
  bool writes = false;
  std::vector<std::string> lines;
};
std::vector<ReconcileStatement> reconcileStatements();

// Month number as two digits: 1 -> "01", 12 -> "12".
std::string KetJegyu(int value);

// The question put to the user before a differing stored price is overwritten.
std::string overwriteQuestion(const std::string& megnev, const common::Date& datum, float stored,
                              float nav);

}  // namespace netupdate::db
