#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "db/testing/test_platform.h"

namespace netupdate::db::testsupport {

// A database file of its own for one test, created by the embedded engine in
// a fresh temporary directory and removed with it. Setup statements run over
// an embedded attachment with character set WIN1250, each in a transaction
// committed at once, so later statements (and the code under test) see the
// tables and rows of earlier ones. Texts are UTF-8.
//
// The embedded engine and the server lock a file for themselves: run the
// setup before the code under test attaches, and let go of the file (detach)
// before calling execute() again when the code under test used the server.
class TempDatabase {
 public:
  // The file lies in a folder of the given name inside the temporary
  // directory when one is given, for names the client library has to carry.
  explicit TempDatabase(const std::vector<std::string>& setupSql = {}, int dialect = 3,
                        std::string_view folder = {});
  ~TempDatabase();
  TempDatabase(const TempDatabase&) = delete;
  TempDatabase& operator=(const TempDatabase&) = delete;

  // The plain local path, as the embedded engine opens it.
  const std::string& path() const { return m_path; }

  // Runs one statement. Throws EDbError when the engine rejects it.
  void execute(std::string_view sql);
  // Runs statements separated by ";" (outside quotes), each committed on its own.
  void executeScript(std::string_view script);
  // The first column of every row a SELECT returns, as text (NULL as "<null>").
  std::vector<std::string> queryColumn(std::string_view sql);

 private:
  void create(int dialect);

  std::filesystem::path m_directory;
  std::string m_path;
  int m_dialect;
};

// The Firebird server the test command starts (scripts/firebird-server):
// NETUPDATE_FIREBIRD_HOST (127.0.0.1), NETUPDATE_FIREBIRD_PORT (3050) and
// NETUPDATE_FIREBIRD_PASSWORD (masterkey) for the user SYSDBA.
struct FirebirdServer {
  std::string host;
  int port = 3050;
  std::string user = "SYSDBA";
  std::string password;

  static FirebirdServer fromEnvironment();
  // The attach string for a file on this server: "host:path", or
  // "host/port:path" when the server listens elsewhere than on 3050.
  std::string attachString(const std::string& path) const;
  // Whether something accepts TCP connections on host:port right now.
  bool reachable() const;
};

// Why the tests that need the Firebird engine cannot run here, or empty. Only
// a build that may lack the client library (the Windows one) ever skips them:
// on Linux a missing library is a broken setup and fails the tests.
std::string engineUnavailable();

}  // namespace netupdate::db::testsupport

// At the start of a test (or SetUp) that needs the Firebird engine.
#define NETUPDATE_REQUIRE_ENGINE()                                                        \
  if (const std::string netupdateWhy = ::netupdate::db::testsupport::engineUnavailable(); \
      !netupdateWhy.empty())                                                              \
  GTEST_SKIP() << netupdateWhy

namespace netupdate::db::testsupport {}  // namespace netupdate::db::testsupport
