#include "db/database_probe.h"

#include <exception>

#include "db/db_components.h"
#include "db/db_error.h"

namespace netupdate::db {

DatabaseProbe probeDatabase(const ConnectionValues& values) {
  DatabaseProbe probe;
  DbComponents db;
  setConnectionValues(db.Varkona, values);
  try {
    db.Varkona.setConnected(true);
  } catch (const EDbError& error) {
    probe.error = error.what();
    probe.sqlcode = error.sqlcode();
    probe.gdscode = error.gdscode();
    return probe;
  } catch (const std::exception& error) {
    probe.error = error.what();
    return probe;
  }
  probe.attached = true;
  probe.dialect = db.Varkona.DatabaseDialect();
  try {
    probe.serverVersion = db.Varkona.ServerVersion();
  } catch (const std::exception& error) {
    probe.serverVersion = error.what();
  }

  // The transactions are started as the run starts them; preparing needs one.
  try {
    db.tr1.setActive(true);
    db.tr2.setActive(true);
  } catch (const std::exception& error) {
    probe.statements.push_back({"tranzakció", false, error.what()});
    return probe;
  }
  for (const ReconcileStatement& statement : reconcileStatements()) {
    TDbQuery& query = statement.writes ? db.QrI : db.QrS;
    StatementProbe& result = probe.statements.emplace_back();
    result.use = statement.use;
    try {
      query.SQL().clear();
      for (const std::string& line : statement.lines) query.SQL().add(line);
      query.Prepare();
      result.ok = true;
    } catch (const std::exception& error) {
      result.error = error.what();
    }
  }
  // Nothing was executed; the rollback only ends the transactions.
  db.Varkona.setConnected(false);
  return probe;
}

}  // namespace netupdate::db
