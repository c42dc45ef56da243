#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/db_types.h"
#include "db/db_value.h"

namespace netupdate::db {

class TDbConnection;
class TDbTransaction;
class TDbQuery;

namespace detail {
class Statement;
}

// The statement text of a query as a list of lines. Every change drops the
// prepared statement; changes are refused while the query has an open cursor.
class TDbSQL {
 public:
  explicit TDbSQL(TDbQuery& query) : m_query(query) {}

  void clear();
  void add(std::string_view line);
  const std::vector<std::string>& lines() const { return m_lines; }
  // The lines joined, each followed by CR LF.
  std::string text() const;

 private:
  TDbQuery& m_query;
  std::vector<std::string> m_lines;
};

// One SQL statement with named parameters (":NAME") run in a transaction,
// prepared once per text and executed any number of times.
class TDbQuery {
 public:
  explicit TDbQuery(std::string name, std::string ownerName = {});
  ~TDbQuery();
  TDbQuery(const TDbQuery&) = delete;
  TDbQuery& operator=(const TDbQuery&) = delete;

  const std::string& Name() const { return m_name; }
  std::string qualifiedName() const;

  TDbConnection* Connection() const { return m_connection; }
  void setConnection(TDbConnection* connection);
  TDbTransaction* Transaction() const { return m_transaction; }
  void setTransaction(TDbTransaction* transaction);

  TQueryOptions Options() const { return m_options; }
  void setOptions(TQueryOptions options) { m_options = options; }
  bool ParamCheck() const { return m_paramCheck; }
  void setParamCheck(bool on);
  bool GoToFirstRecordOnExecute() const { return m_goToFirst; }
  void setGoToFirstRecordOnExecute(bool on) { m_goToFirst = on; }

  TDbSQL& SQL() { return m_sql; }
  const TDbSQL& SQL() const { return m_sql; }
  // The text as sent to the server: markers replaced by "?".
  const std::string& ProcessedSQL() const { return m_processedSql; }

  // Parameters in order of first occurrence; FieldByName/ParamByName ignore case.
  int ParamCount() const { return static_cast<int>(m_params.size()); }
  TDbValue& Params(int index);
  TDbValue& ParamByName(std::string_view name);
  int FieldCount() const { return static_cast<int>(m_fields.size()); }
  const TDbValue& Fields(int index) const;
  const TDbValue& FieldByName(std::string_view name) const;

  bool Prepared() const;
  void Prepare();
  void ExecQuery();
  // True at the end of the result and whenever no cursor is open.
  bool Eof() const { return !m_open || m_eof; }
  bool Open() const { return m_open; }
  void Next();
  void Close();

 private:
  friend class TDbSQL;
  friend class TDbTransaction;
  friend class TDbConnection;

  void checkTextChangeAllowed() const;
  void textChanged();
  TDbConnection* effectiveConnection() const;
  TDbConnection& checkReady() const;
  void bindParams();
  bool isSelect() const;
  void unprepare() noexcept;
  void closeQuietly() noexcept;

  std::string m_name;
  std::string m_ownerName;
  TDbConnection* m_connection = nullptr;
  TDbTransaction* m_transaction = nullptr;
  TQueryOptions m_options = 0;
  bool m_paramCheck = true;
  bool m_goToFirst = true;
  TDbSQL m_sql{*this};
  std::string m_processedSql;
  std::vector<TDbValue> m_params;
  // For every "?" of the processed text, the index of its parameter.
  std::vector<std::size_t> m_paramSlots;
  std::vector<TDbValue> m_fields;
  std::unique_ptr<detail::Statement> m_statement;
  bool m_open = false;
  bool m_eof = true;
};

}  // namespace netupdate::db
