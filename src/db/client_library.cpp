#include "db/client_library.h"

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

#include "common/codepage.h"
#include "db/db_error.h"

namespace netupdate::db::detail {

namespace {

// Room for one message from isc_interprete: 16 times what clients format.
constexpr std::size_t kLegacyMessageBuffer = 16 * 1024;

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

// Resolves every entry point into api; the names of those missing, comma-separated.
std::string resolveInto(void* library, ClientLibrary* api) {
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
  if (findClientFunction(library, "fb_interpret") == nullptr &&
      findClientFunction(library, "isc_interprete") != nullptr) {
    resolve(library, "isc_interprete", api->legacy_interpret, missing);
  } else {
    resolve(library, "fb_interpret", api->interpret, missing);
  }
  resolve(library, "isc_vax_integer", api->vax_integer, missing);
  return missing;
}

std::unique_ptr<ClientLibrary> resolveAll(void* library, const std::string& name) {
  auto api = std::make_unique<ClientLibrary>();
  const std::string missing = resolveInto(library, api.get());
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

std::string missingEntryPoints(void* library) {
  ClientLibrary api;
  return resolveInto(library, &api);
}

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

bool ClientLibrary::nextMessage(char* buffer, std::size_t size, const ISC_STATUS** cursor) const {
  if (interpret != nullptr) {
    return interpret(buffer, static_cast<unsigned>(size), cursor) > 0;
  }
  // isc_interprete writes as much as it formats. Clients format a message
  // into a buffer of about a kilobyte of their own, so a caller's buffer many
  // times that size is never overrun; the text is cut at it all the same.
  if (size < kLegacyMessageBuffer) {
    std::vector<char> room(kLegacyMessageBuffer);
    const bool more = nextMessage(room.data(), room.size(), cursor);
    std::snprintf(buffer, size, "%s", room.data());
    return more;
  }
  buffer[0] = '\0';
  // It moves the cursor along without writing through it.
  const bool more = legacy_interpret(buffer, const_cast<ISC_STATUS**>(cursor)) > 0;
  buffer[size - 1] = '\0';
  return more;
}

void raiseStatus(const ClientLibrary& api, const Status& status, std::string_view objectName) {
  const int sqlcode = static_cast<int>(api.sqlcode(status.vector));
  std::string message(objectName);
  message += ":\r\n";

  std::vector<char> buffer(kLegacyMessageBuffer);
  api.sql_interprete(static_cast<short>(sqlcode), buffer.data(), 1024);
  appendLine(message, buffer.data());

  const ISC_STATUS* cursor = status.vector;
  while (api.nextMessage(buffer.data(), buffer.size(), &cursor)) appendLine(message, buffer.data());

  throw EDbError(message, sqlcode, status.vector[1]);
}

}  // namespace netupdate::db::detail
