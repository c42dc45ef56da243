#include "db/db_query.h"

#include <gtest/gtest.h>

#include <optional>

#include <functional>

#include "db/db_error.h"
#include "db/testing/db_test_util.h"

namespace netupdate::db {
namespace {

using testsupport::TempDatabase;

class Queries : public ::testing::Test {
 protected:
  void SetUp() override {
    NETUPDATE_REQUIRE_ENGINE();
    m_database.emplace(std::vector<std::string>{
        "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, NAME VARCHAR(20))",
        "INSERT INTO T VALUES (1, 'egy')",
        "INSERT INTO T VALUES (2, 'kettő')",
        "INSERT INTO T VALUES (3, 'három')",
    });
    connect(m_db, m_database->path());
    m_db.tr1.setActive(true);
  }

  std::optional<TempDatabase> m_database;
  DbComponents m_db;
};

TEST_F(Queries, RowsUntilEofThenNothing) {
  TDbQuery& q = m_db.QrS;
  q.SQL().add("SELECT ID, NAME FROM T");
  q.SQL().add("WHERE ID >= :FROM_ID ORDER BY ID");
  EXPECT_EQ(q.ProcessedSQL(), "SELECT ID, NAME FROM T\r\nWHERE ID >= ? ORDER BY ID\r\n");
  q.ParamByName("from_id").setAsInteger(2);
  q.ExecQuery();
  std::vector<std::string> names;
  while (!q.Eof()) {
    names.push_back(q.FieldByName("name").AsString());
    q.Next();
  }
  EXPECT_EQ(names, (std::vector<std::string>{"kettő", "három"}));
  q.Next();
  EXPECT_TRUE(q.Eof());
  q.Close();
  q.Close();
  EXPECT_TRUE(q.Eof());

  q.ParamByName("FROM_ID").setAsInteger(4);
  q.ExecQuery();
  EXPECT_TRUE(q.Open());
  EXPECT_TRUE(q.Eof()) << "an empty result is at its end right after ExecQuery";
}

TEST_F(Queries, WithoutGoToFirstRecordTheFirstNextFetchesTheFirstRow) {
  TDbQuery& q = m_db.QrS;
  q.setGoToFirstRecordOnExecute(false);
  q.SQL().add("SELECT ID FROM T WHERE ID > :ID ORDER BY ID");
  q.ParamByName("ID").setAsInteger(2);
  q.ExecQuery();
  EXPECT_FALSE(q.Eof()) << "nothing fetched yet, so the end is not known";
  q.Next();
  EXPECT_EQ(q.FieldByName("ID").AsInteger(), 3);
  q.Next();
  EXPECT_TRUE(q.Eof());
}

TEST_F(Queries, PreparedOncePerTextAndExecutedWithNewValues) {
  TDbQuery& q = m_db.QrS;
  q.SQL().add("SELECT NAME FROM T WHERE ID = :ID");
  for (const auto& [id, name] : {std::pair{3, "három"}, {1, "egy"}, {2, "kettő"}}) {
    q.ParamByName("ID").setAsInteger(id);
    q.ExecQuery();  // re-executing closes the previous cursor
    EXPECT_TRUE(q.Prepared());
    EXPECT_EQ(q.FieldByName("NAME").AsString(), name);
  }
  q.Close();
  q.SQL().add("AND ID > 0");
  EXPECT_FALSE(q.Prepared());
  EXPECT_EQ(q.ParamCount(), 1);
}

TEST_F(Queries, RepeatedNameIsOneParameterBoundEverywhere) {
  TDbQuery& q = m_db.QrS;
  q.SQL().add("SELECT COUNT(*) FROM T WHERE ID = :X OR ID = :Y OR ID + 1 = :x");
  EXPECT_EQ(q.ParamCount(), 2);
  q.ParamByName("X").setAsInteger(3);
  q.ParamByName("Y").setAsInteger(1);
  q.ExecQuery();
  EXPECT_EQ(q.Fields(0).AsInteger(), 3) << "ID 3, ID 1 and ID 2 (2 + 1 = 3)";
}

TEST_F(Queries, UnsetParameterIsNull) {
  TDbQuery& q = m_db.QrS;
  q.SQL().add("SELECT COUNT(*) FROM T WHERE ID = :ID OR :ID IS NULL");
  q.ExecQuery();
  EXPECT_EQ(q.Fields(0).AsInteger(), 3);
}

TEST_F(Queries, LayerErrorsCarryTheirExactTexts) {
  TDbQuery orphan("QrX", "MainFrm");
  DbComponents closed;
  struct Case {
    const char* what;
    std::function<void()> action;
    std::string message;
  };
  const Case cases[] = {
      {"no transaction", [&] { orphan.ExecQuery(); }, "Transaction not assigned for MainFrm.QrX."},
      {"connection not open, start on execute",
       [&] {
         closed.QrI.SQL().add("DELETE FROM T");
         closed.QrI.ExecQuery();
       },
       "MainFrm.Varkona: Cannot perform operation -- DB is not open."},
      {"connection not open, start by hand", [&] { closed.tr1.setActive(true); },
       "MainFrm.Varkona: Cannot perform operation -- DB is not open."},
      {"transaction not active",
       [&] {
         m_db.tr1.setActive(false);
         m_db.QrS.SQL().add("SELECT 1 FROM RDB$DATABASE");
         m_db.QrS.ExecQuery();
       },
       "MainFrm.tr1 :Transaction is not active."},
      {"empty text",
       [&] {
         m_db.QrI.SQL().clear();
         m_db.QrI.SQL().add("  ");
         m_db.QrI.ExecQuery();
       },
       "Can't execute , because  query is empty"},
      {"no such column",
       [&] {
         m_db.tr1.setActive(true);
         m_db.QrS.SQL().clear();
         m_db.QrS.SQL().add("SELECT ID AS UZA_ID FROM T");
         m_db.QrS.ExecQuery();
         m_db.QrS.FieldByName("ID");
       },
       "Field \"ID\" not found."},
      {"text changed while open", [&] { m_db.QrS.SQL().clear(); },
       "Can't change sql text because MainFrm.QrS dataset open."},
      {"no such parameter", [&] { m_db.QrI.ParamByName("DATUM"); },
       "Parameter \"DATUM\" does not exist in MainFrm.QrI"},
  };
  for (const Case& c : cases) {
    try {
      c.action();
      ADD_FAILURE() << c.what << ": no error";
    } catch (const EDbError& e) {
      EXPECT_EQ(e.what(), c.message) << c.what;
      EXPECT_EQ(e.sqlcode(), 0) << c.what;
    }
  }
}

TEST_F(Queries, ServerErrorNamesTheQueryAndCarriesTheSqlcode) {
  m_db.QrI.SQL().add("INSERT INTO NO_SUCH_TABLE VALUES (1)");
  try {
    m_db.QrI.ExecQuery();
    FAIL() << "prepared a statement on a missing table";
  } catch (const EDbError& e) {
    const std::string message = e.what();
    EXPECT_EQ(message.rfind("MainFrm.QrI:\r\n", 0), 0u) << message;
    EXPECT_NE(message.find("NO_SUCH_TABLE"), std::string::npos) << message;
    EXPECT_EQ(e.sqlcode(), -204);
    expectServerMessageLines(message);
  }
  EXPECT_FALSE(m_db.QrI.Prepared());
  EXPECT_TRUE(m_db.tr2.Active()) << "started by qoStartTransaction, left as it was";
}

TEST_F(Queries, FailedFetchClosesTheCursor) {
  TDbQuery& q = m_db.QrS;
  q.SQL().add("SELECT 10 / (ID - 2) AS V FROM T ORDER BY ID");
  q.ExecQuery();
  EXPECT_EQ(q.FieldByName("V").AsInteger(), -10);
  EXPECT_THROW(q.Next(), EDbError);  // division by zero on the second row
  EXPECT_FALSE(q.Open());
  EXPECT_TRUE(q.Eof());
  EXPECT_NO_THROW(q.SQL().clear());
}

}  // namespace
}  // namespace netupdate::db
