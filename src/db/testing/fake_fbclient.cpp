// A stand-in for the Firebird client library, loaded by name as the real one
// is, for what no real client on this machine can show: clients that lack an
// entry point (a Firebird 1.5 fbclient.dll has isc_interprete, not
// fb_interpret) and client libraries of the other bitness. Every attach fails,
// with the status vector a real client gives for the database named:
//   a name containing "login"  the server refuses the user name and password;
//   a name containing "reject" the server rejects the connection, as a
//                              Firebird 3 server does a legacy client's;
//   any other name             the file cannot be opened.
// Built in variants (see testing/CMakeLists.txt):
//   NETUPDATE_FAKE_INTERPRET  2 fb_interpret, 1 isc_interprete only, 0 neither.

#include <ibase.h>

#include <cstdio>
#include <cstring>

#ifndef NETUPDATE_FAKE_INTERPRET
#define NETUPDATE_FAKE_INTERPRET 2
#endif

namespace {

// Codes and texts as the engine has them; @n is the n-th argument.
struct Message {
  ISC_STATUS code;
  const char* text;
};
constexpr ISC_STATUS kIoError = 335544344;
constexpr ISC_STATUS kOpenError = 335544734;
constexpr ISC_STATUS kLogin = 335544472;
constexpr ISC_STATUS kConnectReject = 335544421;
constexpr Message kMessages[] = {
    {kIoError, "I/O error during \"@1\" operation for file \"@2\""},
    {kOpenError, "Error while trying to open file"},
    {kLogin,
     "Your user name and password are not defined. Ask your database administrator to set up a "
     "Firebird login."},
    {kConnectReject, "connection rejected by remote interface"},
};

// Kept for the caller's status vector to point into.
char g_fileName[1024];

ISC_STATUS fail(ISC_STATUS* status, const char* database) {
  if (std::strstr(database, "login") != nullptr) {
    const ISC_STATUS vector[] = {isc_arg_gds, kLogin, isc_arg_end};
    std::memcpy(status, vector, sizeof vector);
  } else if (std::strstr(database, "reject") != nullptr) {
    const ISC_STATUS vector[] = {isc_arg_gds, kConnectReject, isc_arg_end};
    std::memcpy(status, vector, sizeof vector);
  } else {
    std::snprintf(g_fileName, sizeof g_fileName, "%s", database);
    const ISC_STATUS vector[] = {isc_arg_gds,    kIoError,
                                 isc_arg_string, reinterpret_cast<ISC_STATUS>("CreateFile (open)"),
                                 isc_arg_string, reinterpret_cast<ISC_STATUS>(g_fileName),
                                 isc_arg_gds,    kOpenError,
                                 isc_arg_end};
    std::memcpy(status, vector, sizeof vector);
  }
  return status[1];
}

// One message of the vector at *cursor, formatted into out, as both of the
// client's interpret calls do; 0 at the end.
[[maybe_unused]] ISC_LONG format(char* out, std::size_t size, const ISC_STATUS** cursor) {
  const ISC_STATUS* at = *cursor;
  if (at[0] != isc_arg_gds) return 0;
  const char* text = "unknown error";
  for (const Message& message : kMessages) {
    if (message.code == at[1]) text = message.text;
  }
  const char* arguments[4] = {};
  int count = 0;
  at += 2;
  while (at[0] == isc_arg_string && count < 4) {
    arguments[count++] = reinterpret_cast<const char*>(at[1]);
    at += 2;
  }
  *cursor = at;

  std::size_t length = 0;
  for (const char* c = text; *c != '\0' && length + 1 < size; ++c) {
    if (c[0] == '@' && c[1] >= '1' && c[1] <= '4' && arguments[c[1] - '1'] != nullptr) {
      for (const char* a = arguments[c[1] - '1']; *a != '\0' && length + 1 < size; ++a) {
        out[length++] = *a;
      }
      ++c;
    } else {
      out[length++] = *c;
    }
  }
  out[length] = '\0';
  return static_cast<ISC_LONG>(length);
}

ISC_STATUS unavailable(ISC_STATUS* status) {
  status[0] = isc_arg_gds;
  status[1] = 335544375;  // isc_unavailable
  status[2] = isc_arg_end;
  return status[1];
}

}  // namespace

// C linkage on every definition, so one that strays from ibase.h's
// declaration fails to compile instead of becoming an overload nobody calls.
extern "C" {

ISC_STATUS ISC_EXPORT isc_attach_database(ISC_STATUS* status, short length, const ISC_SCHAR* name,
                                          isc_db_handle*, short, const ISC_SCHAR*) {
  char database[sizeof g_fileName];
  std::snprintf(database, sizeof database, "%.*s", static_cast<int>(length), name);
  return fail(status, database);
}

ISC_LONG ISC_EXPORT isc_sqlcode(const ISC_STATUS*) {
  return -902;
}

void ISC_EXPORT isc_sql_interprete(short, ISC_SCHAR* buffer, short length) {
  std::snprintf(buffer, static_cast<std::size_t>(length), "%s",
                "Unsuccessful execution caused by a system error that precludes successful "
                "execution of subsequent statements");
}

#if NETUPDATE_FAKE_INTERPRET == 2
ISC_LONG ISC_EXPORT fb_interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** cursor) {
  return format(buffer, size, cursor);
}

void ISC_EXPORT isc_get_client_version(ISC_SCHAR* buffer) {
  std::strcpy(buffer, "netupdate test double 3.0");
}

int ISC_EXPORT isc_get_client_major_version() {
  return 3;
}

int ISC_EXPORT isc_get_client_minor_version() {
  return 0;
}
#elif NETUPDATE_FAKE_INTERPRET == 1
// As old clients do: a kilobyte of the caller's buffer is taken for granted.
ISC_LONG ISC_EXPORT isc_interprete(ISC_SCHAR* buffer, ISC_STATUS** cursor) {
  return format(buffer, 1024, const_cast<const ISC_STATUS**>(cursor));
}
#endif

// What a run calls after a successful attach; never reached here.
ISC_STATUS ISC_EXPORT isc_detach_database(ISC_STATUS* status, isc_db_handle*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_database_info(ISC_STATUS* status, isc_db_handle*, short, const ISC_SCHAR*,
                                        short, ISC_SCHAR*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_start_multiple(ISC_STATUS* status, isc_tr_handle*, short, void*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_commit_transaction(ISC_STATUS* status, isc_tr_handle*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_commit_retaining(ISC_STATUS* status, isc_tr_handle*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_alloc_statement2(ISC_STATUS* status, isc_db_handle*,
                                                isc_stmt_handle*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*,
                                       unsigned short, const ISC_SCHAR*, unsigned short, XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle*, short,
                                        const ISC_SCHAR*, short, ISC_SCHAR*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle*, unsigned short,
                                        XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle*, unsigned short,
                                             XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute(ISC_STATUS* status, isc_tr_handle*, isc_stmt_handle*,
                                       unsigned short, const XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle*, isc_tr_handle*,
                                                 unsigned short, const ISC_SCHAR*, unsigned short,
                                                 const XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle*, unsigned short,
                                     const XSQLDA*) {
  return unavailable(status);
}

ISC_STATUS ISC_EXPORT isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle*,
                                              unsigned short) {
  return unavailable(status);
}

ISC_LONG ISC_EXPORT isc_vax_integer(const ISC_SCHAR*, short) {
  return 0;
}

}  // extern "C"
