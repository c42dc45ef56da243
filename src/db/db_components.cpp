#include "db/db_components.h"

namespace netupdate::db {

DbComponents::DbComponents() {
  Varkona.setSQLDialect(3);
  Varkona.setDefaultTransaction(&tr1);

  tr1.setConnection(&Varkona);
  tr1.setTPBMode(tpbReadCommitted);
  tr1.setTimeoutAction(TARollback);

  QrS.setConnection(&Varkona);
  QrS.setTransaction(&tr1);

  tr2.setConnection(&Varkona);
  tr2.setTPBMode(tpbReadCommitted);
  tr2.setTimeoutAction(TARollback);

  QrI.setConnection(&Varkona);
  QrI.setTransaction(&tr2);
  QrI.setOptions(qoStartTransaction | qoAutoCommit);
}

}  // namespace netupdate::db
