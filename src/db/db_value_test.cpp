#include "db/db_value.h"

#include <gtest/gtest.h>

#include <optional>

#include "common/codepage.h"

#include "db/db_error.h"
#include "db/testing/db_test_util.h"

namespace netupdate::db {
namespace {

using testsupport::TempDatabase;

// A reader's expected outcome: a value, or "Invalid data conversion.".
template <typename T>
using Read = std::optional<T>;
constexpr std::nullopt_t kInvalid = std::nullopt;

template <typename T, typename F>
void expectRead(const Read<T>& expected, F read, const std::string& what) {
  if (expected) {
    EXPECT_EQ(read(), *expected) << what;
    return;
  }
  try {
    read();
    ADD_FAILURE() << what << ": read without error";
  } catch (const EDbError& e) {
    EXPECT_STREQ(e.what(), "Invalid data conversion.") << what;
  }
}

class Values : public ::testing::Test {
 protected:
  void SetUp() override {
    NETUPDATE_REQUIRE_ENGINE();
    m_database.emplace(std::vector<std::string>{
        "CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY, TXT VARCHAR(40), FIX CHAR(20), "
        "NUM NUMERIC(15,2), DAY_ DATE, STAMP TIMESTAMP)",
    });
    connect(m_db, m_database->path());
    m_db.tr1.setActive(true);
  }

  TDbQuery& select(const std::string& expression) {
    m_db.QrS.SQL().clear();
    m_db.QrS.SQL().add("SELECT " + expression + " AS V FROM RDB$DATABASE");
    m_db.QrS.ExecQuery();
    EXPECT_FALSE(m_db.QrS.Eof()) << expression;
    return m_db.QrS;
  }

  std::optional<TempDatabase> m_database;
  DbComponents m_db;
};

TEST_F(Values, ReadByTheDescribedType) {
  struct Case {
    std::string expression;
    Read<std::int32_t> asInteger;
    Read<double> asFloat;
    Read<std::string> asString;
  };
  const Case cases[] = {
      {"CAST(405.37 AS NUMERIC(15,2))", 405, 405.37, kInvalid},
      {"CAST(-405.99 AS NUMERIC(15,2))", -405, -405.99, kInvalid},
      {"CAST(12.5 AS NUMERIC(4,1))", 12, 12.5, kInvalid},
      {"CAST(-7 AS SMALLINT)", -7, -7.0, "-7"},
      {"CAST(2147483647 AS INTEGER)", 2147483647, 2147483647.0, "2147483647"},
      {"CAST(123456789012 AS BIGINT)", kInvalid, 123456789012.0, "123456789012"},
      {"CAST(2.75 AS DOUBLE PRECISION)", 2, 2.75, kInvalid},
      {"CAST(-2.75 AS FLOAT)", -2, -2.75, kInvalid},
      {"CAST(' 42' AS VARCHAR(10))", 42, 42.0, " 42"},
      {"CAST('405.37' AS CHAR(8))", kInvalid, 405.37, "405.37  "},
      {"CAST('sok' AS VARCHAR(10))", kInvalid, kInvalid, "sok"},
      {"CAST(NULL AS INTEGER)", 0, 0.0, ""},
      {"CAST(NULL AS VARCHAR(5))", 0, 0.0, ""},
      {"CAST('2018-03-01' AS DATE)", kInvalid, kInvalid, kInvalid},
      {"CAST('Keverék' AS CHAR(20))", kInvalid, kInvalid, "Keverék" + std::string(13, ' ')},
  };
  for (const Case& c : cases) {
    const TDbValue& value = select(c.expression).FieldByName("V");
    expectRead(
        c.asInteger, [&] { return value.AsInteger(); }, c.expression + " AsInteger");
    expectRead(
        c.asFloat, [&] { return value.AsFloat(); }, c.expression + " AsFloat");
    expectRead(
        c.asString, [&] { return value.AsString(); }, c.expression + " AsString");
    m_db.QrS.Close();
  }
}

TEST_F(Values, TextsRoundTripByteExactInWin1250) {
  const std::pair<std::string, std::string> texts[] = {
      {"Keverék", "4B65766572E96B"},
      {"Gázolaj", "47E17A6F6C616A"},
      {"NAV ÁR", "4E415620C152"},
  };
  int id = 0;
  for (const auto& [text, hex] : texts) {
    m_db.QrI.SQL().clear();
    m_db.QrI.SQL().add("INSERT INTO T (ID, TXT, FIX) VALUES (:ID, :TXT, :TXT)");
    m_db.QrI.ParamByName("ID").setAsInteger(++id);
    m_db.QrI.ParamByName("TXT").setAsString(text);
    m_db.QrI.ExecQuery();

    // The bytes as stored, compared on the server against the code page's bytes.
    EXPECT_EQ(firstValue(m_db.QrS, "SELECT COUNT(*) FROM T WHERE ID = " + std::to_string(id) +
                                       " AND CAST(TXT AS VARCHAR(40) CHARACTER SET OCTETS) = x'" +
                                       hex + "'"),
              "1")
        << text;
    m_db.QrS.SQL().clear();
    m_db.QrS.SQL().add("SELECT TXT, FIX FROM T WHERE ID = :ID");
    m_db.QrS.ParamByName("ID").setAsInteger(id);
    m_db.QrS.ExecQuery();
    EXPECT_EQ(m_db.QrS.FieldByName("TXT").AsString(), text);
    EXPECT_EQ(m_db.QrS.FieldByName("FIX").AsString(),
              text + std::string(20 - common::encodeAnsi(text).size(), ' '));
    m_db.QrS.Close();
  }
}

TEST_F(Values, EmptyTextIsEmptyForTextAndNullForNumbersAndDates) {
  m_db.QrI.SQL().add("INSERT INTO T (ID, TXT, NUM, DAY_, STAMP) VALUES (1, :T, :N, :D, :S)");
  for (const char* name : {"T", "N", "D", "S"}) m_db.QrI.ParamByName(name).setAsString("");
  m_db.QrI.ExecQuery();
  EXPECT_EQ(firstValue(m_db.QrS,
                       "SELECT IIF(TXT IS NULL, 'N', '[' || TXT || ']') || "
                       "IIF(NUM IS NULL, 'N', 'V') || IIF(DAY_ IS NULL, 'N', 'V') || "
                       "IIF(STAMP IS NULL, 'N', 'V') FROM T"),
            "[]NNN");
}

TEST_F(Values, DateParameterIsThatDayAtMidnight) {
  m_db.QrI.SQL().add("INSERT INTO T (ID, DAY_, STAMP) VALUES (:ID, :D, :D)");
  const common::Date days[] = {{2018, 3, 1}, {1858, 11, 17}, {2000, 2, 29}, {1800, 1, 1}};
  int id = 0;
  for (const common::Date& day : days) {
    m_db.QrI.ParamByName("ID").setAsInteger(++id);
    m_db.QrI.ParamByName("D").setAsDate(day);
    m_db.QrI.ExecQuery();
    EXPECT_EQ(firstValue(m_db.QrS,
                         "SELECT CAST(DAY_ AS VARCHAR(30)) || ' ' || "
                         "CAST(STAMP AS VARCHAR(30)) FROM T WHERE ID = " +
                             std::to_string(id)),
              common::formatDate("yyyy-mm-dd", day) + " " + common::formatDate("yyyy-mm-dd", day) +
                  " 00:00:00.0000");
  }
  EXPECT_THROW(m_db.QrI.ParamByName("D").setAsDate({2018, 2, 29}), EDbError);
}

TEST_F(Values, NumbersAreConvertedByTheServerToTheColumnType) {
  m_db.QrI.SQL().add("INSERT INTO T (ID, NUM, TXT) VALUES (:ID, :NUM, :TXT)");
  m_db.QrI.ParamByName("ID").setAsInteger(7);
  m_db.QrI.ParamByName("NUM").setAsFloat(405.37);
  m_db.QrI.ParamByName("TXT").setAsFloat(2.5);
  m_db.QrI.ExecQuery();
  m_db.QrS.SQL().add("SELECT NUM, TXT FROM T WHERE ID = 7");
  m_db.QrS.ExecQuery();
  EXPECT_EQ(m_db.QrS.FieldByName("NUM").AsFloat(), 405.37);
  EXPECT_EQ(m_db.QrS.FieldByName("TXT").AsFloat(), 2.5);
}

}  // namespace
}  // namespace netupdate::db
