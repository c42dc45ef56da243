#include <gtest/gtest.h>

#include <string>

#include "db/db_connection.h"
#include "db/db_error.h"

namespace netupdate::db {
namespace {

// Client libraries that lack an entry point, through stand-ins built for the
// purpose: a Firebird 1.5 client has isc_interprete and no fb_interpret, and
// its messages must read as a newer client's do.
TEST(ClientLibrary, MessagesReadAlikeThroughEitherInterpretCall) {
  const std::string kCannotOpen =
      "MainFrm.Varkona:\r\n"
      "Unsuccessful execution caused by a system error that precludes successful execution of "
      "subsequent statements.\r\n"
      "I/O error during \"CreateFile (open)\" operation for file \"C:\\NINCS\\zepa.fdb\".\r\n"
      "Error while trying to open file.\r\n";
  const std::string kLoginRefused =
      "MainFrm.Varkona:\r\n"
      "Unsuccessful execution caused by a system error that precludes successful execution of "
      "subsequent statements.\r\n"
      "Your user name and password are not defined. Ask your database administrator to set up a "
      "Firebird login.\r\n";
  struct Case {
    const char* library;
    const char* database;
    std::string message;
    long gdscode;
  };
  const Case cases[] = {
      {NETUPDATE_FAKE_CLIENT_MODERN, "C:\\NINCS\\zepa.fdb", kCannotOpen, 335544344},
      {NETUPDATE_FAKE_CLIENT_LEGACY, "C:\\NINCS\\zepa.fdb", kCannotOpen, 335544344},
      {NETUPDATE_FAKE_CLIENT_MODERN, "szerver:login.fdb", kLoginRefused, 335544472},
      {NETUPDATE_FAKE_CLIENT_LEGACY, "szerver:login.fdb", kLoginRefused, 335544472},
      // Without either call the library is as unusable as one without a library.
      {NETUPDATE_FAKE_CLIENT_BARE, "C:\\NINCS\\zepa.fdb",
       std::string("The Firebird client library ") + NETUPDATE_FAKE_CLIENT_BARE +
           " lacks fb_interpret.",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.library) + " " + c.database);
    TDbConnection connection("Varkona", "MainFrm");
    connection.setClientLibraryNames({c.library});
    connection.setDBName(c.database);
    connection.ConnectParams().setUserName("SYSDBA");
    connection.ConnectParams().setPassword("masterkey");
    try {
      connection.setConnected(true);
      ADD_FAILURE() << "connected";
    } catch (const EDbError& error) {
      EXPECT_EQ(error.what(), c.message);
      EXPECT_EQ(error.gdscode(), c.gdscode);
      EXPECT_EQ(error.sqlcode(), c.gdscode == 0 ? 0 : -902);
    }
    EXPECT_FALSE(connection.Connected());
  }
}

}  // namespace
}  // namespace netupdate::db
