#include "db/db_transaction.h"

#include <gtest/gtest.h>

#include <optional>

#include <ibase.h>

#include "db/db_error.h"
#include "db/testing/db_test_util.h"

namespace netupdate::db {
namespace {

using testsupport::TempDatabase;

class Transactions : public ::testing::Test {
 protected:
  void SetUp() override {
    NETUPDATE_REQUIRE_ENGINE();
    m_database.emplace(std::vector<std::string>{
        "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, PRICE NUMERIC(15,2))",
        "INSERT INTO T VALUES (1, 400)",
    });
    connect(m_db, m_database->path());
    connect(m_other, m_database->path());
    m_db.tr1.setActive(true);
    m_db.tr2.setActive(true);
    m_other.tr1.setActive(true);
  }

  // What another attachment sees committed right now.
  std::string committed(const std::string& sql) { return firstValue(m_other.QrS, sql); }

  void insert(DbComponents& db, int id) {
    db.QrI.SQL().clear();
    db.QrI.SQL().add("INSERT INTO T (ID, PRICE) VALUES (:ID, 402)");
    db.QrI.ParamByName("ID").setAsInteger(id);
    db.QrI.ExecQuery();
  }

  std::optional<TempDatabase> m_database;
  DbComponents m_db;
  DbComponents m_other;
};

TEST_F(Transactions, AutoCommitEndsTr2AndTheNextStatementStartsAnother) {
  insert(m_db, 2);
  EXPECT_FALSE(m_db.tr2.Active());
  EXPECT_EQ(committed("SELECT COUNT(*) FROM T"), "2");
  insert(m_db, 3);
  EXPECT_FALSE(m_db.tr2.Active());
  EXPECT_EQ(committed("SELECT COUNT(*) FROM T"), "3");
}

TEST_F(Transactions, AutoCommitRetainingCommitsAndKeepsTheTransaction) {
  m_db.tr2.setTimeoutAction(TACommitRetaining);
  insert(m_db, 2);
  EXPECT_TRUE(m_db.tr2.Active());
  EXPECT_EQ(committed("SELECT COUNT(*) FROM T"), "2");
}

TEST_F(Transactions, FailedStatementCommitsNothingAndLeavesTr2Active) {
  m_db.QrI.SQL().add(
      "INSERT INTO T (ID, PRICE) SELECT ID + 1, 0 FROM T UNION ALL SELECT 1, 0 FROM T");
  EXPECT_THROW(m_db.QrI.ExecQuery(), EDbError);  // the second row violates the key
  EXPECT_TRUE(m_db.tr2.Active());
  EXPECT_FALSE(m_db.QrI.Open());
  EXPECT_EQ(committed("SELECT COUNT(*) FROM T"), "1");
}

TEST_F(Transactions, LockConflictFailsAtOnceWithoutWaiting) {
  m_other.QrS.SQL().add("UPDATE T SET PRICE = 401 WHERE ID = 1");
  m_other.QrS.ExecQuery();  // no auto-commit: the change stays uncommitted

  m_db.QrI.SQL().add("DELETE FROM T WHERE ID = 1");
  try {
    m_db.QrI.ExecQuery();
    FAIL() << "deleted a record another transaction changed";
  } catch (const EDbError& e) {
    // A waiting transaction would still be blocked here, not holding an error.
    EXPECT_EQ(e.gdscode(), isc_deadlock) << e.what();
    EXPECT_EQ(e.sqlcode(), -913) << e.what();
    EXPECT_NE(std::string(e.what()).find("Update conflicts with concurrent update."),
              std::string::npos)
        << e.what();
  }
  EXPECT_TRUE(m_db.tr2.Active());
}

TEST_F(Transactions, ReadCommittedSeesWhatOthersCommitLater) {
  const std::string lookup = "SELECT PRICE FROM T WHERE ID = 5";
  EXPECT_EQ(firstValue(m_db.QrS, lookup), "<eof>");
  insert(m_other, 5);
  ASSERT_TRUE(m_db.tr1.Active()) << "the same transaction as the first lookup";
  m_db.QrS.ExecQuery();
  ASSERT_FALSE(m_db.QrS.Eof());
  EXPECT_EQ(m_db.QrS.FieldByName("PRICE").AsFloat(), 402.0);
}

TEST_F(Transactions, EndingATransactionClosesItsCursors) {
  const std::function<void(TDbTransaction&)> ends[] = {
      [](TDbTransaction& t) { t.Commit(); },
      [](TDbTransaction& t) { t.Rollback(); },
      [](TDbTransaction& t) { t.setActive(false); },
  };
  for (const auto& end : ends) {
    m_db.tr1.setActive(true);
    m_db.QrS.SQL().clear();
    m_db.QrS.SQL().add("SELECT ID FROM T");
    m_db.QrS.ExecQuery();
    ASSERT_TRUE(m_db.QrS.Open());
    end(m_db.tr1);
    EXPECT_FALSE(m_db.tr1.Active());
    EXPECT_FALSE(m_db.QrS.Open());
    EXPECT_TRUE(m_db.QrS.Eof());
  }
}

TEST_F(Transactions, TimeoutActionDecidesTheEndOfAnAbandonedTransaction) {
  struct Case {
    TimeoutAction action;
    bool viaDisconnect;
    const char* countAfter;
  };
  const Case cases[] = {
      {TARollback, false, "1"},        {TARollbackRetaining, false, "1"}, {TACommit, false, "2"},
      {TACommitRetaining, false, "2"}, {TARollback, true, "1"},           {TACommit, true, "2"},
  };
  int id = 10;
  for (const Case& c : cases) {
    {
      DbComponents db;
      connect(db, m_database->path());
      db.tr1.setTimeoutAction(c.action);
      db.QrS.SQL().add("INSERT INTO T (ID) VALUES (" + std::to_string(++id) + ")");
      db.QrS.SQL().add("");
      db.tr1.setActive(true);
      db.QrS.ExecQuery();
      if (c.viaDisconnect) db.Varkona.setConnected(false);
    }
    EXPECT_EQ(committed("SELECT COUNT(*) FROM T WHERE ID = 1 OR ID = " + std::to_string(id)),
              c.countAfter)
        << "action " << c.action << (c.viaDisconnect ? " on disconnect" : " on destruction");
  }
}

TEST_F(Transactions, ParameterNamesReachTheServer) {
  m_db.tr1.setActive(false);
  m_db.tr1.setTPBMode(tpbDefault);
  m_db.tr1.TRParams() = {"isc_tpb_READ", "Concurrency", "nowait"};
  m_db.tr1.StartTransaction();
  m_db.QrS.SQL().add("DELETE FROM T");
  try {
    m_db.QrS.ExecQuery();
    FAIL() << "wrote in a read-only transaction";
  } catch (const EDbError& e) {
    EXPECT_NE(std::string(e.what()).find("read-only transaction"), std::string::npos) << e.what();
  }
  EXPECT_EQ(m_db.tr1.TRParams().size(), 3u) << "tpbDefault keeps the list";

  m_db.tr1.Rollback();
  m_db.tr1.TRParams() = {"write", "no_such_item"};
  EXPECT_THROW(m_db.tr1.StartTransaction(), EDbError);
  EXPECT_FALSE(m_db.tr1.Active());
}

}  // namespace
}  // namespace netupdate::db
