#pragma once

// Private to the database layer: move-only owners of the client library's
// handles and descriptor buffers. A handle is owned from the moment the
// library writes it, so an error path after that still releases it; the
// destructors release quietly, the explicit calls report failures.

#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "db/client_library.h"

namespace netupdate::db::detail {

class Attachment {
 public:
  explicit Attachment(const ClientLibrary& api) : m_api(&api) {}
  ~Attachment();
  Attachment(const Attachment&) = delete;
  Attachment& operator=(const Attachment&) = delete;

  const ClientLibrary& api() const { return *m_api; }
  isc_db_handle* get() { return &m_handle; }
  bool attached() const { return m_handle != 0; }

 private:
  const ClientLibrary* m_api;
  isc_db_handle m_handle = 0;
};

class Transaction {
 public:
  explicit Transaction(const ClientLibrary& api) : m_api(&api) {}
  // Rolls back a transaction still running: losing uncommitted work is the
  // only safe end nobody asked for.
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  isc_tr_handle* get() { return &m_handle; }
  bool active() const { return m_handle != 0; }

 private:
  const ClientLibrary* m_api;
  isc_tr_handle m_handle = 0;
};

// An XSQLDA with room for a given number of columns.
class Xsqlda {
 public:
  Xsqlda() = default;
  explicit Xsqlda(int columns);

  XSQLDA* get() { return reinterpret_cast<XSQLDA*>(m_buffer.get()); }
  int allocated() const { return m_columns; }
  int described() { return m_columns == 0 ? 0 : get()->sqld; }
  XSQLVAR& var(int index) { return *(&get()->sqlvar[0] + index); }

 private:
  std::unique_ptr<char[]> m_buffer;
  int m_columns = 0;
};

// What the server described for one parameter, restored whenever it is sent as NULL.
struct Described {
  ISC_SHORT type = 0;
  ISC_SHORT scale = 0;
  ISC_SHORT subType = 0;
  ISC_SHORT length = 0;
};

class Statement {
 public:
  explicit Statement(const ClientLibrary& api) : m_api(&api) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  const ClientLibrary& api() const { return *m_api; }
  isc_stmt_handle* get() { return &m_handle; }
  bool allocated() const { return m_handle != 0; }

  // The descriptors of the output columns and the parameters.
  Xsqlda output;
  Xsqlda input;
  std::vector<Described> described;
  // What a NULL parameter points at: the client library wants a buffer even then.
  std::vector<char> nullData;
  ISC_SHORT nullIndicator = -1;
  // The statement type (isc_info_sql_stmt_*).
  int type = 0;
  // The SQL dialect it was prepared in, passed on to every execute and fetch.
  unsigned short dialect = 3;

 private:
  const ClientLibrary* m_api;
  isc_stmt_handle m_handle = 0;
};

}  // namespace netupdate::db::detail
