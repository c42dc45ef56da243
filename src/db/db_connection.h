#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/db_types.h"

namespace netupdate::db {

class TDbConnection;
class TDbQuery;
class TDbTransaction;

namespace detail {
class Attachment;
struct ClientLibrary;
}  // namespace detail

// One connection parameter: a Firebird DPB item name without "isc_dpb_" and its value.
struct TDbConnectParam {
  std::string name;
  std::string value;

  friend bool operator==(const TDbConnectParam&, const TDbConnectParam&) = default;
};

// The four parameters every attachment of this system sets; each one is a
// view on the connection's parameter list.
class TConnectParams {
 public:
  explicit TConnectParams(TDbConnection& connection) : m_connection(connection) {}

  std::string UserName() const;
  void setUserName(std::string_view value);
  std::string Password() const;
  void setPassword(std::string_view value);
  std::string RoleName() const;
  void setRoleName(std::string_view value);
  std::string CharSet() const;
  // Stored with a-z upper-cased: the server only knows the upper-case names.
  void setCharSet(std::string_view value);

 private:
  TDbConnection& m_connection;
};

// An attachment to one Firebird database. Texts go in and out as UTF-8. SQL
// texts and values are exchanged in the ANSI code page (common::encodeAnsi),
// which matches the WIN1250 the attachment announces; the attach string and
// the connection parameters in the character set the client library reads
// names in (the ANSI code page on Windows, UTF-8 on Linux).
// Transactions and queries refer to it by pointer, so it neither copies nor moves.
class TDbConnection {
 public:
  // The owner name qualifies the object's name in server error messages
  // ("MainFrm.Varkona"); empty for an object without owner.
  explicit TDbConnection(std::string name, std::string ownerName = {});
  ~TDbConnection();
  TDbConnection(const TDbConnection&) = delete;
  TDbConnection& operator=(const TDbConnection&) = delete;

  const std::string& Name() const { return m_name; }
  std::string qualifiedName() const;

  // The attach string: a local path, or "host:path" / "host/port:path" for a server.
  const std::string& DBName() const { return m_dbName; }
  void setDBName(std::string_view name);

  TConnectParams& ConnectParams() { return m_connectParams; }
  const TConnectParams& ConnectParams() const { return m_connectParams; }

  // The ordered parameter list: a new name is appended, a known one replaced
  // in place, an empty value removes the pair. Refused while connected.
  void setParam(std::string_view name, std::string_view value);
  std::string Param(std::string_view name) const;
  const std::vector<TDbConnectParam>& Params() const { return m_params; }

  // Lowered at connect time to the database's own dialect.
  int SQLDialect() const { return m_sqlDialect; }
  void setSQLDialect(int dialect) { m_sqlDialect = dialect; }

  TDbTransaction* DefaultTransaction() const { return m_defaultTransaction; }
  void setDefaultTransaction(TDbTransaction* transaction) { m_defaultTransaction = transaction; }

  // Where the client library is looked for at connect time, first found wins.
  // Loaded libraries stay loaded for the life of the process.
  const std::vector<std::string>& ClientLibraryNames() const { return m_libraryNames; }
  void setClientLibraryNames(std::vector<std::string> names);

  // The dialect the database was created with, read at connect time; 0 before.
  int DatabaseDialect() const { return m_databaseDialect; }
  // The server's own version text, asked of the open connection.
  std::string ServerVersion() const;

  bool Connected() const;
  // true attaches, false ends every active transaction by its TimeoutAction and detaches.
  void setConnected(bool connected);

 private:
  friend class TDbTransaction;
  friend class TDbQuery;

  void connect();
  void disconnect() noexcept;
  void checkClosed() const;
  void attach(TDbTransaction* transaction);
  void detach(TDbTransaction* transaction) noexcept;
  void attach(TDbQuery* query);
  void detach(TDbQuery* query) noexcept;
  detail::Attachment& attachment() const;

  std::string m_name;
  std::string m_ownerName;
  std::string m_dbName;
  std::vector<TDbConnectParam> m_params;
  TConnectParams m_connectParams{*this};
  int m_sqlDialect = 3;
  int m_databaseDialect = 0;
  TDbTransaction* m_defaultTransaction = nullptr;
  std::vector<std::string> m_libraryNames;
  std::vector<TDbTransaction*> m_transactions;
  std::vector<TDbQuery*> m_queries;
  std::unique_ptr<detail::Attachment> m_attachment;
};

}  // namespace netupdate::db
