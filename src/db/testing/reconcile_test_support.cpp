#include "db/testing/reconcile_test_support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "db/db_components.h"

namespace netupdate::db::testsupport {

common::DialogResult RecordingUi::confirm(const std::string& message) {
  questions.push_back(message);
  if (m_answers.empty()) return common::DialogResult::No;
  const common::DialogResult answer = m_answers.front();
  m_answers.pop_front();
  return answer;
}

std::string routeName(Route route) {
  return route == Route::Embedded ? "Embedded" : "Server";
}

void PrintTo(Route route, std::ostream* os) {
  *os << routeName(route);
}

bool serverAvailable() {
  return FirebirdServer::fromEnvironment().reachable();
}

std::string unavailable(Route route) {
  if (std::string why = engineUnavailable(); !why.empty()) return why;
  if (route == Route::Server && !serverAvailable()) {
    const FirebirdServer server = FirebirdServer::fromEnvironment();
    return "no Firebird server on " + server.host + ":" + std::to_string(server.port) +
           " (scripts/firebird-server start)";
  }
  return {};
}

std::string hostSchemaScript() {
  std::ifstream file(NETUPDATE_TESTDATA_DIR "/host_schema.sql");
  if (!file) throw std::runtime_error("cannot read testdata/host_schema.sql");
  std::string script;
  std::string line;
  while (std::getline(file, line)) {
    if (line.rfind("--", 0) == 0) continue;
    script += line + "\n";
  }
  return script;
}

std::vector<std::string> fuelType(int uzaid, std::string_view uzanev, std::string_view megnev) {
  const std::string id = std::to_string(uzaid);
  return {"INSERT INTO UZA (UZAID, UZANEV) VALUES (" + id + ", '" + std::string(uzanev) + "')",
          "INSERT INTO UZA_APEH (UZA_ID, UZA_MEGNEV) VALUES (" + id + ", '" + std::string(megnev) +
              "')"};
}

std::string storedPrice(int uzaid, int month, std::string_view price) {
  return "INSERT INTO UZAAR (UZAID, DATUM, UZAAR, JELLEG, UZANEV, MEGJ) VALUES (" +
         std::to_string(uzaid) + ", DATE '2018-" + KetJegyu(month) + "-01', " + std::string(price) +
         ", 'KK', 'régi', 'kézi')";
}

std::vector<std::string> concat(std::vector<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

HostDatabase::HostDatabase(Route route, const std::vector<std::string>& setupSql) : m_route(route) {
  m_temp.executeScript(hostSchemaScript());
  for (const std::string& sql : setupSql) m_temp.execute(sql);
}

ConnectionValues HostDatabase::values() const {
  if (m_route == Route::Embedded) return {m_temp.path(), "SYSDBA", "masterkey", ""};
  const FirebirdServer server = FirebirdServer::fromEnvironment();
  return {server.attachString(m_temp.path()), server.user, server.password, server.host};
}

std::vector<std::string> HostDatabase::query(std::string_view sql) const {
  return readText("SELECT CAST(q.c AS VARCHAR(300)) FROM (" + std::string(sql) + ") q (c)");
}

std::vector<std::string> HostDatabase::readText(const std::string& sql) const {
  // The same kind of objects the code under test uses, owned by nobody.
  DbComponents peer;
  const ConnectionValues connection = values();
  peer.Varkona.setDBName(connection.adatbazis);
  peer.Varkona.ConnectParams().setUserName(connection.username);
  peer.Varkona.ConnectParams().setPassword(connection.password);
  peer.Varkona.ConnectParams().setCharSet("WIN1250");
  peer.Varkona.setConnected(true);
  peer.tr1.setActive(true);
  peer.QrS.setParamCheck(false);
  peer.QrS.SQL().add(sql);
  peer.QrS.ExecQuery();
  std::vector<std::string> rows;
  while (!peer.QrS.Eof()) {
    const TDbValue& value = peer.QrS.Fields(0);
    rows.push_back(value.IsNull() ? "<null>" : value.AsString());
    peer.QrS.Next();
  }
  peer.QrS.Close();
  return rows;
}

std::vector<std::string> HostDatabase::uzaarRows() const {
  return readText(
      "SELECT UZAID || '|' || DATUM || '|' || COALESCE(CAST(UZAAR AS NUMERIC(18, 5)), 'NULL')"
      " || '|' || COALESCE(JELLEG, '') || '|' || COALESCE(UZANEV, '') || '|' ||"
      " COALESCE(MEGJ, '') FROM UZAAR ORDER BY UZAID, DATUM, UZAAR, JELLEG");
}

}  // namespace netupdate::db::testsupport
