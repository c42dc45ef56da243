#include "db/db_blocks.h"

#include <gtest/gtest.h>

#include "db/client_platform.h"
#include "db/db_error.h"

namespace netupdate::db {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

std::string item(int code, std::string_view value) {
  return bytes({code, static_cast<int>(value.size())}) + std::string(value);
}

std::string repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

struct DpbCase {
  const char* what;
  std::vector<TDbConnectParam> params;
  std::string expected;
};

TEST(BuildDpb, ItemsInListOrderWithTrimmedAnsiValues) {
  const DpbCase cases[] = {
      {"no parameters: the version byte alone", {}, bytes({1})},
      {"the attachment of this system, with a server",
       {{"user_name", "SYSDBA"},
        {"password", "masterkey"},
        {"sql_role_name", "TCP"},
        {"lc_ctype", "WIN1250"}},
       bytes({1}) + item(28, "SYSDBA") + item(29, "masterkey") + item(60, "TCP") +
           item(48, "WIN1250")},
      {"list order, not a fixed order",
       {{"lc_ctype", "WIN1250"}, {"user_name", "u"}},
       bytes({1}) + item(48, "WIN1250") + item(28, "u")},
      {"a trailing blank of the value is trimmed with the line",
       {{"password", "secret "}},
       bytes({1}) + item(29, "secret")},
      {"control characters at both ends go too, inner blanks stay",
       {{"\t password", "a b\r\n"}},
       bytes({1}) + item(29, "a b")},
      {"a value of blanks only is sent empty", {{"password", "  "}}, bytes({1}) + item(29, "")},
      {"names ignore case and the isc_dpb_ prefix",
       {{"ISC_DPB_USER_NAME", "x"}, {"Password", "y"}},
       bytes({1}) + item(28, "x") + item(29, "y")},
      {"values go as the client library reads names",
       {{"password", "árvíztűrő"}},
       bytes({1}) + item(29, detail::clientText("árvíztűrő"))},
      {"255 bytes is the longest value",
       {{"password", std::string(255, 'p')}},
       bytes({1}) + item(29, std::string(255, 'p'))},
  };
  for (const DpbCase& c : cases) {
    EXPECT_EQ(buildDpb(c.params), c.expected) << c.what;
  }
}

TEST(BuildDpb, RefusesWhatCannotBeSentWhole) {
  const std::vector<TDbConnectParam> cases[] = {
      {{"password", std::string(256, 'p')}},
      {{"password", repeat("ő", 256)}},
      {{"no_such_item", "1"}},
  };
  for (const auto& params : cases) {
    EXPECT_THROW(buildDpb(params), EDbError) << params.back().name;
  }
}

// The one-byte length counts the bytes the client library gets, whatever the
// character set: two per "ő" on Linux, one in a Windows code page.
TEST(BuildDpb, LengthCountsTheBytesSent) {
  std::string longest;
  while (detail::clientText(longest + "ő").size() <= 255) longest += "ő";
  const std::string sent = detail::clientText(longest);
  EXPECT_EQ(buildDpb({{"password", longest}}), bytes({1}) + item(29, sent));
  EXPECT_THROW(buildDpb({{"password", longest + "ő"}}), EDbError);
}

TEST(BuildTpb, FromModesAndNames) {
  EXPECT_EQ(buildTpb(tpbLinesFor(tpbReadCommitted)), bytes({3, 9, 7, 15, 17}));
  EXPECT_EQ(buildTpb(tpbLinesFor(tpbRepeatableRead)), bytes({3, 9, 7, 2}));
  EXPECT_EQ(buildTpb(tpbLinesFor(tpbDefault)), "");
  EXPECT_EQ(buildTpb({"READ", "isc_tpb_Wait", "Isc_Tpb_Consistency", " concurrency "}),
            bytes({3, 8, 6, 1, 2}));
  EXPECT_THROW(buildTpb({"write", "lock_timeout"}), EDbError);
  EXPECT_THROW(buildTpb({"isc_tpb_"}), EDbError);
}

struct ParseCase {
  const char* sql;
  const char* text;
  std::vector<std::string> names;
  std::vector<std::size_t> slots;
};

TEST(ParseSqlParams, MarkersBecomeQuestionMarksInOrderOfFirstUse) {
  const ParseCase cases[] = {
      {"SELECT UZAAR FROM UZAAR WHERE UZAID = :ID AND DATUM = :DATUM\r\n",
       "SELECT UZAAR FROM UZAAR WHERE UZAID = ? AND DATUM = ?\r\n",
       {"ID", "DATUM"},
       {0, 1}},
      {"VALUES (:UZAID, :DATUM, :UZAAR)",
       "VALUES (?, ?, ?)",
       {"UZAID", "DATUM", "UZAAR"},
       {0, 1, 2}},
      {"WHERE A = :X OR B = :Y OR C = :x", "WHERE A = ? OR B = ? OR C = ?", {"X", "Y"}, {0, 1, 0}},
      {"SELECT ':NOT' FROM T WHERE A=:A", "SELECT ':NOT' FROM T WHERE A=?", {"A"}, {0}},
      {"SELECT \"a:b\" FROM T -- :C\r\nWHERE /* :D */ E = :E",
       "SELECT \"a:b\" FROM T -- :C\r\nWHERE /* :D */ E = ?",
       {"E"},
       {0}},
      {"SELECT 'it''s :X' FROM T", "SELECT 'it''s :X' FROM T", {}, {}},
      {"A = :", "A = :", {}, {}},
      {"unterminated ':X", "unterminated ':X", {}, {}},
  };
  for (const ParseCase& c : cases) {
    const ParsedSql parsed = parseSqlParams(c.sql);
    EXPECT_EQ(parsed.text, c.text) << c.sql;
    EXPECT_EQ(parsed.names, c.names) << c.sql;
    EXPECT_EQ(parsed.slots, c.slots) << c.sql;
  }
}

}  // namespace
}  // namespace netupdate::db
