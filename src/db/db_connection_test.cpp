#include "db/db_connection.h"

#include <gtest/gtest.h>

#include "db/db_error.h"
#include "db/testing/db_test_util.h"

namespace netupdate::db {
namespace {

using testsupport::FirebirdServer;
using testsupport::TempDatabase;

TEST(ConnectParams, OrderedListReplacedInPlaceAndRemovedByEmptyValue) {
  TDbConnection connection("Varkona");
  connection.ConnectParams().setUserName("SYSDBA");
  connection.ConnectParams().setPassword("a");
  connection.ConnectParams().setCharSet("win1250");
  connection.ConnectParams().setUserName("OTHER");
  EXPECT_EQ(connection.Params(),
            (std::vector<TDbConnectParam>{
                {"user_name", "OTHER"}, {"password", "a"}, {"lc_ctype", "WIN1250"}}));
  connection.ConnectParams().setPassword("");
  connection.ConnectParams().setRoleName("TCP");
  EXPECT_EQ(connection.Params(),
            (std::vector<TDbConnectParam>{
                {"user_name", "OTHER"}, {"lc_ctype", "WIN1250"}, {"sql_role_name", "TCP"}}));
  // Only a-z are upper-cased: the rest of the text is left as it is.
  connection.ConnectParams().setCharSet("utf8 ék");
  EXPECT_EQ(connection.ConnectParams().CharSet(), "UTF8 éK");
}

TEST(Connect, RefusedBeforeTheServerIsAsked) {
  struct Case {
    const char* what;
    std::string dbName;
    std::vector<std::string> libraries;
    std::string password;
    std::string message;
  };
  const Case cases[] = {
      {"empty name", "", {"libfbclient.so.2"}, "x", "Database name is missing."},
      {"no client library",
       "/tmp/any.fdb",
       {"libfbclient-missing.so.9", "libnothing.so"},
       "x",
       "Cannot load the Firebird client library: "},
      {"password that a one-byte length cannot carry",
       "/tmp/any.fdb",
       {"libfbclient.so.2"},
       std::string(300, 'p'),
       "longer than 255 bytes"},
  };
  for (const Case& c : cases) {
    DbComponents db;
    db.Varkona.setDBName(c.dbName);
    db.Varkona.ConnectParams().setPassword(c.password);
    db.Varkona.setClientLibraryNames(c.libraries);
    try {
      db.Varkona.setConnected(true);
      ADD_FAILURE() << c.what << ": connected";
    } catch (const EDbError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
          << c.what << ": " << e.what();
      EXPECT_EQ(e.sqlcode(), 0) << c.what;
    }
    EXPECT_FALSE(db.Varkona.Connected()) << c.what;
  }
}

TEST(Connect, SettingsRefusedWhileOpenEvenWhenUnchanged) {
  NETUPDATE_REQUIRE_ENGINE();
  TempDatabase database;
  DbComponents db;
  connect(db, database.path());
  ASSERT_TRUE(db.Varkona.Connected());

  const std::function<void()> changes[] = {
      [&] { db.Varkona.ConnectParams().setUserName("SYSDBA"); },
      [&] { db.Varkona.ConnectParams().setPassword("x"); },
      [&] { db.Varkona.ConnectParams().setRoleName("TCP"); },
      [&] { db.Varkona.ConnectParams().setCharSet("WIN1250"); },
      [&] { db.Varkona.setDBName("/tmp/other.fdb"); },
      [&] { db.Varkona.setConnected(true); },
  };
  for (const auto& change : changes) {
    try {
      change();
      ADD_FAILURE() << "change accepted while connected";
    } catch (const EDbError& e) {
      EXPECT_STREQ(e.what(), "Cannot perform operation -- DB is currently open.");
    }
  }
  // The same name again is no change at all.
  EXPECT_NO_THROW(db.Varkona.setDBName(database.path()));
  EXPECT_TRUE(db.Varkona.Connected());

  db.Varkona.setConnected(false);
  EXPECT_FALSE(db.Varkona.Connected());
  EXPECT_NO_THROW(db.Varkona.ConnectParams().setUserName("SYSDBA"));
}

TEST(Connect, DialectFollowsTheDatabase) {
  NETUPDATE_REQUIRE_ENGINE();
  struct Case {
    int databaseDialect;
    double half;  // 1/2 is a double in dialect 1 and an integer division in dialect 3
  };
  for (const Case c : {Case{3, 0.0}, Case{1, 0.5}}) {
    TempDatabase database({}, c.databaseDialect);
    DbComponents db;
    connect(db, database.path());
    EXPECT_EQ(db.Varkona.SQLDialect(), c.databaseDialect);
    db.tr1.setActive(true);
    db.QrS.SQL().add("SELECT 1/2 AS HALF FROM RDB$DATABASE");
    db.QrS.ExecQuery();
    EXPECT_DOUBLE_EQ(db.QrS.FieldByName("HALF").AsFloat(), c.half);
  }
}

TEST(Connect, EmbeddedAttachmentCarriesCharsetAndNoRole) {
  NETUPDATE_REQUIRE_ENGINE();
  TempDatabase database;
  DbComponents db;
  connect(db, database.path());
  db.tr1.setActive(true);
  EXPECT_EQ(firstValue(db.QrS,
                       "SELECT MON$CHARACTER_SET_ID FROM MON$ATTACHMENTS "
                       "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
            "51");  // WIN1250
  EXPECT_EQ(firstValue(db.QrS,
                       "SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS "
                       "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
            "");  // NULL: no network
}

class ServerConnect : public ::testing::Test {
 protected:
  void SetUp() override { NETUPDATE_REQUIRE_ENGINE(); }

  FirebirdServer m_server = FirebirdServer::fromEnvironment();
};

TEST_F(ServerConnect, ServerAndPathFormWithRole) {
  NETUPDATE_REQUIRE_SERVER(m_server);
  TempDatabase database({"CREATE ROLE TCP", "GRANT TCP TO SYSDBA"});
  DbComponents db;
  connect(db, m_server.attachString(database.path()), m_server.password, "TCP");
  db.tr1.setActive(true);
  EXPECT_EQ(firstValue(db.QrS,
                       "SELECT MON$REMOTE_PROTOCOL || ' ' || CURRENT_ROLE FROM MON$ATTACHMENTS "
                       "WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION"),
            "TCPv4 TCP");
}

TEST_F(ServerConnect, FailuresLeaveTheConnectionClosedAndUsable) {
  NETUPDATE_REQUIRE_SERVER(m_server);
  TempDatabase database;
  FirebirdServer unreachable = m_server;
  unreachable.port = testsupport::closedLoopbackPort();
  struct Case {
    const char* what;
    std::string attachString;
    std::string password;
    std::string reason;
  };
  const Case cases[] = {
      {"wrong password", m_server.attachString(database.path()), m_server.password + "-wrong",
       "Your user name and password are not defined."},
      {"nobody listening", unreachable.attachString(database.path()), m_server.password,
       "Unable to complete network request to host \"127.0.0.1\"."},
      {"no such file", m_server.attachString(database.path() + ".missing"), m_server.password,
       "I/O error during \"open\" operation for file"},
  };
  for (const Case& c : cases) {
    DbComponents db;
    try {
      connect(db, c.attachString, c.password);
      ADD_FAILURE() << c.what << ": connected";
    } catch (const EDbError& e) {
      const std::string message = e.what();
      EXPECT_EQ(message.rfind("MainFrm.Varkona:\r\n", 0), 0u) << c.what << ": " << message;
      EXPECT_NE(message.find(c.reason), std::string::npos) << c.what << ": " << message;
      EXPECT_NE(e.sqlcode(), 0) << c.what;
      expectServerMessageLines(message);
    }
    EXPECT_FALSE(db.Varkona.Connected()) << c.what;
    // A failed connect refuses nothing afterwards: the right settings attach.
    db.Varkona.setDBName(m_server.attachString(database.path()));
    db.Varkona.ConnectParams().setPassword(m_server.password);
    EXPECT_NO_THROW(db.Varkona.setConnected(true)) << c.what;
  }
}

// Names as a Hungarian user writes them: a folder with accented letters (one
// of them outside Windows-1250 too) and a role. Only the file meant holds the
// marker row.
void expectAccentedNamesOpen(bool throughServer) {
  const FirebirdServer server = FirebirdServer::fromEnvironment();
  for (const char* folder : {"Könyvelés", "Árvíztűrő tükörfúrógép – Año"}) {
    SCOPED_TRACE(folder);
    TempDatabase database(
        {"CREATE TABLE MARKER (NAME VARCHAR(20))", "INSERT INTO MARKER VALUES ('Kőolaj')",
         "CREATE ROLE \"KÖNYVELŐ\"", "GRANT \"KÖNYVELŐ\" TO SYSDBA"},
        3, folder);
    DbComponents db;
    connect(db, throughServer ? server.attachString(database.path()) : database.path(),
            server.password, "KÖNYVELŐ");
    db.tr1.setActive(true);
    EXPECT_EQ(firstValue(db.QrS, "SELECT NAME || ' ' || CURRENT_ROLE FROM MARKER"),
              "Kőolaj KÖNYVELŐ");
  }
}

TEST(Connect, AccentedFolderAndRoleEmbedded) {
  NETUPDATE_REQUIRE_ENGINE();
  expectAccentedNamesOpen(false);
}

TEST_F(ServerConnect, AccentedFolderAndRole) {
  NETUPDATE_REQUIRE_SERVER(m_server);
  expectAccentedNamesOpen(true);
}

TEST(Connect, MissingFileInAnAccentedFolderIsNamedInTheError) {
  NETUPDATE_REQUIRE_ENGINE();
  TempDatabase database({}, 3, "Könyvelés");
  const std::string missing = database.path() + ".missing";
  DbComponents db;
  try {
    connect(db, missing);
    ADD_FAILURE() << "connected";
  } catch (const EDbError& e) {
    EXPECT_NE(std::string(e.what()).find(missing), std::string::npos) << e.what();
  }
  EXPECT_FALSE(db.Varkona.Connected());
}

}  // namespace
}  // namespace netupdate::db
