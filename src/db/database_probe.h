#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/adat_betolt.h"

namespace netupdate::db {

struct StatementProbe {
  std::string use;
  bool ok = false;
  std::string error;  // the server's text when it refused to prepare it
};

// What attaching as a run does finds out, without running anything.
struct DatabaseProbe {
  bool attached = false;
  std::string error;  // the attach's failure, in the engine's own words
  int sqlcode = 0;
  std::intptr_t gdscode = 0;
  std::string serverVersion;
  int dialect = 0;  // the database's own
  std::vector<StatementProbe> statements;
};

// Attaches with the run's settings and objects, reads the server's version
// and the database's dialect, prepares every statement of the reconciliation
// without executing one, and detaches; the transactions it needed for the
// preparing are rolled back, so nothing is written.
DatabaseProbe probeDatabase(const ConnectionValues& values);

}  // namespace netupdate::db
