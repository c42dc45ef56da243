#pragma once

#include "db/db_connection.h"
#include "db/db_query.h"
#include "db/db_transaction.h"

namespace netupdate::db {

// The database objects the main window owns, configured once: reads run on
// QrS in tr1, writes on QrI in tr2, each write committed on its own. Members
// are destroyed in reverse order (QrI, tr2, QrS, tr1, Varkona), so every query
// lets go of its statement before its transaction ends and the connection detaches last.
struct DbComponents {
  DbComponents();

  TDbConnection Varkona{"Varkona", "MainFrm"};
  TDbTransaction tr1{"tr1", "MainFrm"};
  TDbQuery QrS{"QrS", "MainFrm"};
  TDbTransaction tr2{"tr2", "MainFrm"};
  TDbQuery QrI{"QrI", "MainFrm"};
};

}  // namespace netupdate::db
