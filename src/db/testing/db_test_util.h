#pragma once

#include <gtest/gtest.h>

#include <string>

#include "db/db_components.h"
#include "db/testing/temp_database.h"

namespace netupdate::db {

// Attaches the window's objects the way the reconciliation does: user,
// password, role only when given, character set WIN1250.
inline void connect(DbComponents& db, const std::string& attachString,
                    const std::string& password = "x", const std::string& role = {}) {
  db.Varkona.setDBName(attachString);
  db.Varkona.ConnectParams().setUserName("SYSDBA");
  db.Varkona.ConnectParams().setPassword(password);
  if (!role.empty()) db.Varkona.ConnectParams().setRoleName(role);
  db.Varkona.ConnectParams().setCharSet("WIN1250");
  db.Varkona.setConnected(true);
}

// Runs a statement on a query and returns its first column of the first row as text.
inline std::string firstValue(TDbQuery& query, const std::string& sql) {
  query.SQL().clear();
  query.SQL().add(sql);
  query.ExecQuery();
  std::string value = query.Eof() ? "<eof>" : query.Fields(0).AsString();
  query.Close();
  return value;
}

// Every line after the object's name begins with a capital letter and ends
// with a full stop, each line closed by CR LF.
inline void expectServerMessageLines(const std::string& message) {
  const std::size_t first = message.find(":\r\n");
  ASSERT_NE(first, std::string::npos) << message;
  ASSERT_GE(message.size(), 2u);
  EXPECT_EQ(message.substr(message.size() - 2), "\r\n") << message;
  std::size_t begin = first + 3;
  int lines = 0;
  while (begin < message.size()) {
    const std::size_t end = message.find("\r\n", begin);
    ASSERT_NE(end, std::string::npos) << message;
    const std::string line = message.substr(begin, end - begin);
    ASSERT_FALSE(line.empty()) << message;
    EXPECT_TRUE(line.front() >= 'A' && line.front() <= 'Z') << line;
    EXPECT_EQ(line.back(), '.') << line;
    begin = end + 2;
    ++lines;
  }
  EXPECT_GE(lines, 2) << "the SQL message and at least one server message: " << message;
}

#define NETUPDATE_REQUIRE_SERVER(server)                                            \
  if (!(server).reachable())                                                        \
  GTEST_SKIP() << "no Firebird server on " << (server).host << ":" << (server).port \
               << " (scripts/firebird-server start)"

}  // namespace netupdate::db
