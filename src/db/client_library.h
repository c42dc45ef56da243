#pragma once

// Private to the database layer: the only header that sees ibase.h.

#include <ibase.h>

#include <string>
#include <string_view>
#include <vector>

#include "db/client_platform.h"

namespace netupdate::db::detail {

// isc_interprete's type, spelt out: ibase.h marks the function deprecated.
using LegacyInterprete = ISC_LONG(ISC_EXPORT*)(ISC_SCHAR*, ISC_STATUS**);

// The entry points of libfbclient the layer calls, resolved from a library
// loaded by name at the first connect, so the program starts (and reports a
// failed connect) on a machine without the client installed.
struct ClientLibrary {
  decltype(&::isc_attach_database) attach_database = nullptr;
  decltype(&::isc_detach_database) detach_database = nullptr;
  decltype(&::isc_database_info) database_info = nullptr;
  decltype(&::isc_start_multiple) start_multiple = nullptr;
  decltype(&::isc_commit_transaction) commit_transaction = nullptr;
  decltype(&::isc_commit_retaining) commit_retaining = nullptr;
  decltype(&::isc_rollback_transaction) rollback_transaction = nullptr;
  decltype(&::isc_dsql_alloc_statement2) dsql_alloc_statement2 = nullptr;
  decltype(&::isc_dsql_prepare) dsql_prepare = nullptr;
  decltype(&::isc_dsql_sql_info) dsql_sql_info = nullptr;
  decltype(&::isc_dsql_describe) dsql_describe = nullptr;
  decltype(&::isc_dsql_describe_bind) dsql_describe_bind = nullptr;
  decltype(&::isc_dsql_execute) dsql_execute = nullptr;
  decltype(&::isc_dsql_execute_immediate) dsql_execute_immediate = nullptr;
  decltype(&::isc_dsql_fetch) dsql_fetch = nullptr;
  decltype(&::isc_dsql_free_statement) dsql_free_statement = nullptr;
  decltype(&::isc_sqlcode) sqlcode = nullptr;
  decltype(&::isc_sql_interprete) sql_interprete = nullptr;
  // The server's messages: fb_interpret takes the buffer's size; clients
  // before Firebird 2.0 (still beside older host installations) only have
  // isc_interprete, which does not. One of the two is always set.
  decltype(&::fb_interpret) interpret = nullptr;
  LegacyInterprete legacy_interpret = nullptr;
  decltype(&::isc_vax_integer) vax_integer = nullptr;

  // The first of the names that loads. Throws EDbError naming every library
  // tried when none does. Never unloaded: the library keeps threads and
  // exit handlers of its own that must not outlive its code.
  static const ClientLibrary& load(const std::vector<std::string>& names);

  // The next message of the status vector into buffer, NUL-terminated and cut
  // at its size, whichever of the two calls the library has; false at the end.
  bool nextMessage(char* buffer, std::size_t size, const ISC_STATUS** cursor) const;
};

// The entry points a run needs that a loaded library lacks, comma-separated
// in the order they are resolved; empty when it has them all.
std::string missingEntryPoints(void* library);

// A status vector and what went wrong in it.
struct Status {
  ISC_STATUS_ARRAY vector{};

  ISC_STATUS* get() { return vector; }
  bool failed() const { return vector[0] == 1 && vector[1] != 0; }
};

// The error for a failed call: the object's owner-qualified name, a colon and
// CR LF, then the SQL message and the server's messages, one per line, each
// beginning with a capital letter and ending with a full stop and CR LF.
[[noreturn]] void raiseStatus(const ClientLibrary& api, const Status& status,
                              std::string_view objectName);

}  // namespace netupdate::db::detail
