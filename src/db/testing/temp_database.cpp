#include "db/testing/temp_database.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>

#include "common/codepage.h"
#include "db/client_library.h"
#include "db/db_blocks.h"
#include "db/db_error.h"
#include "db/handles.h"

namespace netupdate::db::testsupport {

namespace {

const detail::ClientLibrary& api() {
  return detail::ClientLibrary::load(detail::defaultClientLibraryNames());
}

void check(const detail::Status& status, ISC_STATUS result, std::string_view what) {
  if (result != 0) detail::raiseStatus(api(), status, what);
}

std::string sqlQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

std::unique_ptr<detail::Attachment> attachEmbedded(const std::string& path) {
  auto attachment = std::make_unique<detail::Attachment>(api());
  const std::string dpb =
      buildDpb({{"user_name", "SYSDBA"}, {"password", "x"}, {"lc_ctype", "WIN1250"}});
  const std::string name = detail::clientText(path);
  const detail::ClientCharsetScope charset;
  detail::Status status;
  check(status,
        api().attach_database(status.get(), static_cast<short>(name.size()), name.c_str(),
                              attachment->get(), static_cast<short>(dpb.size()), dpb.data()),
        "TempDatabase");
  return attachment;
}

// Paths as the program holds them, UTF-8, on every platform.
std::filesystem::path fromUtf8(std::string_view utf8) {
  return std::u8string(utf8.begin(), utf8.end());
}

std::string toUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// A directory of its own under the system's temporary directory.
std::filesystem::path freshDirectory() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() /
                           ("netupdate-db-" + std::to_string(random()) + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) return candidate;
  }
  throw std::runtime_error("TempDatabase: cannot create a temporary directory");
}

std::unique_ptr<detail::Transaction> start(detail::Attachment& attachment) {
  auto transaction = std::make_unique<detail::Transaction>(api());
  struct {
    isc_db_handle* database;
    long length;
    const char* tpb;
  } element{attachment.get(), 0, nullptr};
  detail::Status status;
  check(status, api().start_multiple(status.get(), transaction->get(), 1, &element),
        "TempDatabase");
  return transaction;
}

void commit(detail::Transaction& transaction) {
  detail::Status status;
  check(status, api().commit_transaction(status.get(), transaction.get()), "TempDatabase");
}

std::vector<std::string> splitScript(std::string_view script) {
  std::vector<std::string> statements;
  std::string current;
  char quote = 0;
  for (char c : script) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == ';') {
      statements.push_back(current);
      current.clear();
      continue;
    }
    current += c;
  }
  statements.push_back(current);
  std::erase_if(statements, [](const std::string& s) {
    return s.find_first_not_of(" \t\r\n") == std::string::npos;
  });
  return statements;
}

std::string environment(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

}  // namespace

TempDatabase::TempDatabase(const std::vector<std::string>& setupSql, int dialect,
                           std::string_view folder)
    : m_dialect(dialect) {
  m_directory = freshDirectory();
  try {
    std::filesystem::path home = m_directory;
    // The server may run as another user than the test: let it into the directories.
    std::filesystem::permissions(home, std::filesystem::perms::all);
    if (!folder.empty()) {
      home /= fromUtf8(folder);
      std::filesystem::create_directory(home);
      std::filesystem::permissions(home, std::filesystem::perms::all);
    }
    m_path = toUtf8(home / "test.fdb");
    create(dialect);
    for (const std::string& sql : setupSql) execute(sql);
  } catch (...) {
    std::error_code ignored;
    std::filesystem::remove_all(m_directory, ignored);
    throw;
  }
}

void TempDatabase::create(int dialect) {
  const std::string statement = "CREATE DATABASE " + sqlQuoted(m_path) +
                                " USER 'SYSDBA' PASSWORD 'x' PAGE_SIZE 4096"
                                " DEFAULT CHARACTER SET WIN1250";
  // The file name is read as the client library reads attach strings.
  const std::string text = detail::clientText(statement);
  detail::Attachment attachment(api());
  isc_tr_handle noTransaction = 0;
  const detail::ClientCharsetScope charset;
  detail::Status status;
  check(status,
        api().dsql_execute_immediate(status.get(), attachment.get(), &noTransaction, 0,
                                     text.c_str(), static_cast<unsigned short>(dialect), nullptr),
        "TempDatabase");
  // Likewise for a server that runs as another user than the test.
  using std::filesystem::perms;
  std::filesystem::permissions(fromUtf8(m_path), perms::owner_read | perms::owner_write |
                                                     perms::group_read | perms::group_write |
                                                     perms::others_read | perms::others_write);
}

TempDatabase::~TempDatabase() {
  std::error_code ignored;
  std::filesystem::remove_all(m_directory, ignored);
}

void TempDatabase::execute(std::string_view sql) {
  auto attachment = attachEmbedded(m_path);
  auto transaction = start(*attachment);
  const std::string text = common::encodeAnsi(sql);
  detail::Status status;
  check(status,
        api().dsql_execute_immediate(status.get(), attachment->get(), transaction->get(), 0,
                                     text.c_str(), static_cast<unsigned short>(m_dialect), nullptr),
        "TempDatabase");
  commit(*transaction);
}

void TempDatabase::executeScript(std::string_view script) {
  for (const std::string& statement : splitScript(script)) execute(statement);
}

std::vector<std::string> TempDatabase::queryColumn(std::string_view sql) {
  // Cast to text on the server, so the reading side needs no type handling.
  const std::string text =
      common::encodeAnsi("SELECT CAST(q.c AS VARCHAR(200)) FROM (" + std::string(sql) + ") q (c)");
  auto attachment = attachEmbedded(m_path);
  auto transaction = start(*attachment);
  detail::Statement statement(api());
  detail::Status status;
  check(status, api().dsql_alloc_statement2(status.get(), attachment->get(), statement.get()),
        "TempDatabase");
  statement.output = detail::Xsqlda(1);
  check(status,
        api().dsql_prepare(status.get(), transaction->get(), statement.get(), 0, text.c_str(),
                           static_cast<unsigned short>(m_dialect), statement.output.get()),
        "TempDatabase");
  XSQLVAR& var = statement.output.var(0);
  std::vector<char> data(static_cast<std::size_t>(var.sqllen) + 2);
  ISC_SHORT indicator = 0;
  var.sqldata = data.data();
  var.sqlind = &indicator;
  check(status, api().dsql_execute(status.get(), transaction->get(), statement.get(), 1, nullptr),
        "TempDatabase");
  std::vector<std::string> rows;
  while (true) {
    const ISC_STATUS result =
        api().dsql_fetch(status.get(), statement.get(), 1, statement.output.get());
    if (result == 100) break;
    check(status, result, "TempDatabase");
    if (indicator < 0) {
      rows.emplace_back("<null>");
      continue;
    }
    std::uint16_t length = 0;
    std::memcpy(&length, data.data(), sizeof length);
    rows.push_back(common::decodeAnsi(std::string_view(data.data() + 2, length)));
  }
  return rows;
}

FirebirdServer FirebirdServer::fromEnvironment() {
  FirebirdServer server;
  server.host = environment("NETUPDATE_FIREBIRD_HOST", "127.0.0.1");
  server.port = std::atoi(environment("NETUPDATE_FIREBIRD_PORT", "3050").c_str());
  server.password = environment("NETUPDATE_FIREBIRD_PASSWORD", "masterkey");
  return server;
}

std::string FirebirdServer::attachString(const std::string& path) const {
  if (port == 3050) return host + ":" + path;
  return host + "/" + std::to_string(port) + ":" + path;
}

bool FirebirdServer::reachable() const {
  return tcpReachable(host, port);
}

std::string engineUnavailable() {
  if (!clientLibraryMayBeMissing()) return {};
  static const std::string why = [] {
    try {
      api();
      return std::string();
    } catch (const EDbError& error) {
      return "needs the Firebird engine: no Firebird client library can be loaded on this "
             "machine (" +
             std::string(error.what()) + ")";
    }
  }();
  return why;
}

}  // namespace netupdate::db::testsupport
