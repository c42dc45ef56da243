#include "db/client_library.h"

#include <map>
#include <memory>
#include <mutex>

#include "common/codepage.h"
#include "db/db_error.h"

namespace netupdate::db::detail {

namespace {

template <typename Fn>
void resolve(void* library, const char* symbol, Fn& target, std::string& missing) {
  const ClientFunction address = findClientFunction(library, symbol);
  if (address == nullptr) {
    if (!missing.empty()) missing += ", ";
    missing += symbol;
    return;
  }
  target = reinterpret_cast<Fn>(address);
}

std::unique_ptr<ClientLibrary> resolveAll(void* library, const std::string& name) {
  auto api = std::make_unique<ClientLibrary>();
  std::string missing;
  resolve(library, "isc_attach_database", api->attach_database, missing);
  resolve(library, "isc_detach_database", api->detach_database, missing);
  resolve(library, "isc_database_info", api->database_info, missing);
  resolve(library, "isc_start_multiple", api->start_multiple, missing);
  resolve(library, "isc_commit_transaction", api->commit_transaction, missing);
  resolve(library, "isc_commit_retaining", api->commit_retaining, missing);
  resolve(library, "isc_rollback_transaction", api->rollback_transaction, missing);
  resolve(library, "isc_dsql_alloc_statement2", api->dsql_alloc_statement2, missing);
  resolve(library, "isc_dsql_prepare", api->dsql_prepare, missing);
  resolve(library, "isc_dsql_sql_info", api->dsql_sql_info, missing);
  resolve(library, "isc_dsql_describe", api->dsql_describe, missing);
  resolve(library, "isc_dsql_describe_bind", api->dsql_describe_bind, missing);
  resolve(library, "isc_dsql_execute", api->dsql_execute, missing);
  resolve(library, "isc_dsql_execute_immediate", api->dsql_execute_immediate, missing);
  resolve(library, "isc_dsql_fetch", api->dsql_fetch, missing);
  resolve(library, "isc_dsql_free_statement", api->dsql_free_statement, missing);
  resolve(library, "isc_sqlcode", api->sqlcode, missing);
  resolve(library, "isc_sql_interprete", api->sql_interprete, missing);
  resolve(library, "fb_interpret", api->interpret, missing);
  resolve(library, "isc_vax_integer", api->vax_integer, missing);
  if (!missing.empty()) {
    throw EDbError("The Firebird client library " + name + " lacks " + missing + ".");
  }
  return api;
}

// Turns one message of the client library into a line of the error text.
void appendLine(std::string& out, std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  if (line.empty()) return;
  if (line.front() >= 'a' && line.front() <= 'z') {
    line.front() = static_cast<char>(line.front() - 'a' + 'A');
  }
  if (line.back() != '.') line += '.';
  // Server texts quote names and key values in the attachment's character set;
  // the client library writes file names as it was given them (UTF-8 on Linux).
  out += common::isUtf8(line) ? line : common::decodeAnsi(line);
  out += "\r\n";
}

}  // namespace

const ClientLibrary& ClientLibrary::load(const std::vector<std::string>& names) {
  static std::mutex mutex;
  static std::map<std::string, std::unique_ptr<ClientLibrary>> loaded;
  const std::lock_guard lock(mutex);

  std::string tried;
  for (const std::string& name : names) {
    if (const auto found = loaded.find(name); found != loaded.end()) return *found->second;
    std::string reason;
    void* library = openClientLibrary(name, reason);
    if (library == nullptr) {
      if (!tried.empty()) tried += "; ";
      tried += reason;
      continue;
    }
    auto api = resolveAll(library, name);
    return *loaded.emplace(name, std::move(api)).first->second;
  }
  throw EDbError("Cannot load the Firebird client library: " +
                 (tried.empty() ? std::string("no library name given") : tried) + ".");
}

void raiseStatus(const ClientLibrary& api, const Status& status, std::string_view objectName) {
  const int sqlcode = static_cast<int>(api.sqlcode(status.vector));
  std::string message(objectName);
  message += ":\r\n";

  char buffer[1024];
  api.sql_interprete(static_cast<short>(sqlcode), buffer, static_cast<short>(sizeof buffer));
  appendLine(message, buffer);

  const ISC_STATUS* cursor = status.vector;
  while (api.interpret(buffer, sizeof buffer, &cursor) > 0) appendLine(message, buffer);

  throw EDbError(message, sqlcode, status.vector[1]);
}

}  // namespace netupdate::db::detail
