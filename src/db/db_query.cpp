#include "db/db_query.h"

#include <algorithm>

#include "common/codepage.h"
#include "db/db_blocks.h"
#include "db/db_connection.h"
#include "db/db_error.h"
#include "db/db_transaction.h"
#include "db/handles.h"
#include "db/text_util.h"

namespace netupdate::db {

namespace {

constexpr int kInitialColumns = 8;

// Where an empty value's XSQLVAR points: the client library rejects a null
// data pointer even for zero bytes.
char gEmptyData = 0;

bool describedAsNonText(int type) {
  switch (type) {
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
    case SQL_TIMESTAMP:
    case SQL_TYPE_DATE:
    case SQL_TYPE_TIME:
      return true;
    default:
      return false;
  }
}

std::size_t bufferSize(const XSQLVAR& var) {
  const auto length = static_cast<std::size_t>(static_cast<unsigned short>(var.sqllen));
  return (var.sqltype & ~1) == SQL_VARYING ? length + 2 : length;
}

int readInfoInteger(const detail::ClientLibrary& api, const char* buffer, std::size_t size,
                    char item) {
  if (size < 3 || buffer[0] != item) return 0;
  const auto length = static_cast<short>(api.vax_integer(buffer + 1, 2));
  if (length <= 0 || static_cast<std::size_t>(length) + 3 > size) return 0;
  return static_cast<int>(api.vax_integer(buffer + 3, length));
}

}  // namespace

void TDbSQL::clear() {
  m_query.checkTextChangeAllowed();
  m_lines.clear();
  m_query.textChanged();
}

void TDbSQL::add(std::string_view line) {
  m_query.checkTextChangeAllowed();
  m_lines.emplace_back(line);
  m_query.textChanged();
}

std::string TDbSQL::text() const {
  std::string text;
  for (const std::string& line : m_lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

TDbQuery::TDbQuery(std::string name, std::string ownerName)
    : m_name(std::move(name)), m_ownerName(std::move(ownerName)) {}

TDbQuery::~TDbQuery() {
  unprepare();
  if (m_transaction != nullptr) m_transaction->detach(this);
  if (m_connection != nullptr) m_connection->detach(this);
}

std::string TDbQuery::qualifiedName() const {
  return m_ownerName.empty() ? m_name : m_ownerName + "." + m_name;
}

void TDbQuery::setConnection(TDbConnection* connection) {
  if (connection == m_connection) return;
  unprepare();
  if (m_connection != nullptr) m_connection->detach(this);
  m_connection = connection;
  if (m_connection != nullptr) m_connection->attach(this);
}

void TDbQuery::setTransaction(TDbTransaction* transaction) {
  if (transaction == m_transaction) return;
  closeQuietly();
  if (m_transaction != nullptr) m_transaction->detach(this);
  m_transaction = transaction;
  if (m_transaction != nullptr) m_transaction->attach(this);
}

void TDbQuery::setParamCheck(bool on) {
  if (on == m_paramCheck) return;
  checkTextChangeAllowed();
  m_paramCheck = on;
  textChanged();
}

void TDbQuery::checkTextChangeAllowed() const {
  if (m_open) {
    throw EDbError("Can't change sql text because " + qualifiedName() + " dataset open.");
  }
}

void TDbQuery::textChanged() {
  unprepare();
  m_params.clear();
  m_paramSlots.clear();
  if (!m_paramCheck) {
    m_processedSql = m_sql.text();
    return;
  }
  ParsedSql parsed = parseSqlParams(m_sql.text());
  m_processedSql = std::move(parsed.text);
  m_paramSlots = std::move(parsed.slots);
  for (std::string& name : parsed.names) m_params.emplace_back(std::move(name));
}

TDbConnection* TDbQuery::effectiveConnection() const {
  if (m_connection != nullptr) return m_connection;
  return m_transaction != nullptr ? m_transaction->Connection() : nullptr;
}

TDbValue& TDbQuery::Params(int index) {
  return m_params.at(static_cast<std::size_t>(index));
}

TDbValue& TDbQuery::ParamByName(std::string_view name) {
  for (TDbValue& param : m_params) {
    if (equalsIgnoringCase(param.Name(), name)) return param;
  }
  throw EDbError("Parameter \"" + std::string(name) + "\" does not exist in " + qualifiedName());
}

const TDbValue& TDbQuery::Fields(int index) const {
  return m_fields.at(static_cast<std::size_t>(index));
}

const TDbValue& TDbQuery::FieldByName(std::string_view name) const {
  for (const TDbValue& field : m_fields) {
    if (equalsIgnoringCase(field.Name(), name)) return field;
  }
  throw EDbError("Field \"" + std::string(name) + "\" not found.");
}

bool TDbQuery::Prepared() const {
  return m_statement != nullptr;
}

TDbConnection& TDbQuery::checkReady() const {
  TDbConnection* connection = effectiveConnection();
  if (connection == nullptr || !connection->Connected()) {
    const std::string name = connection != nullptr ? connection->qualifiedName() : qualifiedName();
    throw EDbError(name + ": Cannot perform operation -- DB is not open.");
  }
  if (!m_transaction->Active()) {
    throw EDbError(m_transaction->qualifiedName() + " :Transaction is not active.");
  }
  return *connection;
}

void TDbQuery::Prepare() {
  if (m_transaction == nullptr)
    throw EDbError("Transaction not assigned for " + qualifiedName() + ".");
  TDbConnection& connection = checkReady();
  if (trimControl(m_processedSql).empty()) {
    throw EDbError("Can't execute , because  query is empty");
  }
  unprepare();

  detail::Attachment& attachment = connection.attachment();
  const detail::ClientLibrary& api = attachment.api();
  auto statement = std::make_unique<detail::Statement>(api);
  detail::Status status;
  const auto fail = [&] { detail::raiseStatus(api, status, qualifiedName()); };

  if (api.dsql_alloc_statement2(status.get(), attachment.get(), statement->get()) != 0) fail();

  const std::string text = common::encodeAnsi(m_processedSql);
  // A length of 0 tells the client library to read up to the terminating NUL.
  const auto length = static_cast<unsigned short>(text.size() <= 0xFFFF ? text.size() : 0);
  statement->output = detail::Xsqlda(kInitialColumns);
  if (api.dsql_prepare(status.get(), m_transaction->handle().get(), statement->get(), length,
                       text.c_str(), static_cast<unsigned short>(connection.SQLDialect()),
                       statement->output.get()) != 0) {
    fail();
  }

  const char items[] = {isc_info_sql_stmt_type};
  char info[16] = {};
  if (api.dsql_sql_info(status.get(), statement->get(), sizeof items, items, sizeof info, info) !=
      0) {
    fail();
  }
  statement->type = readInfoInteger(api, info, sizeof info, isc_info_sql_stmt_type);
  statement->dialect = static_cast<unsigned short>(connection.SQLDialect());

  if (statement->output.described() > statement->output.allocated()) {
    statement->output = detail::Xsqlda(statement->output.described());
  }
  if (api.dsql_describe(status.get(), statement->get(), SQLDA_VERSION1, statement->output.get()) !=
      0) {
    fail();
  }
  statement->input = detail::Xsqlda(kInitialColumns);
  if (api.dsql_describe_bind(status.get(), statement->get(), SQLDA_VERSION1,
                             statement->input.get()) != 0) {
    fail();
  }
  if (statement->input.described() > statement->input.allocated()) {
    statement->input = detail::Xsqlda(statement->input.described());
    if (api.dsql_describe_bind(status.get(), statement->get(), SQLDA_VERSION1,
                               statement->input.get()) != 0) {
      fail();
    }
  }

  const int inputs = statement->input.described();
  if (!m_paramCheck) {
    m_params.assign(static_cast<std::size_t>(inputs), TDbValue());
    m_paramSlots.resize(static_cast<std::size_t>(inputs));
    for (std::size_t i = 0; i < m_paramSlots.size(); ++i) m_paramSlots[i] = i;
  } else if (static_cast<std::size_t>(inputs) != m_paramSlots.size()) {
    throw EDbError(qualifiedName() + ": the statement takes " + std::to_string(inputs) +
                   " parameters but its text names " + std::to_string(m_paramSlots.size()) + ".");
  }
  statement->described.clear();
  for (int i = 0; i < inputs; ++i) {
    const XSQLVAR& var = statement->input.var(i);
    statement->described.push_back({var.sqltype, var.sqlscale, var.sqlsubtype, var.sqllen});
    statement->nullData.resize(std::max(statement->nullData.size(), bufferSize(var)));
    TDbValue& param = m_params[m_paramSlots[static_cast<std::size_t>(i)]];
    param.m_describedType = var.sqltype & ~1;
  }

  std::vector<TDbValue> fields(static_cast<std::size_t>(statement->output.described()));
  for (std::size_t i = 0; i < fields.size(); ++i) {
    XSQLVAR& var = statement->output.var(static_cast<int>(i));
    TDbValue& field = fields[i];
    field.m_name.assign(var.aliasname, static_cast<std::size_t>(std::clamp<int>(
                                           var.aliasname_length, 0, sizeof var.aliasname)));
    field.m_name = common::decodeAnsi(field.m_name);
    field.m_sqlType = var.sqltype & ~1;
    field.m_subType = var.sqlsubtype;
    field.m_scale = var.sqlscale;
    field.m_data.assign(bufferSize(var), 0);
    // The client library writes the indicator of nullable columns only.
    field.m_indicator = (var.sqltype & 1) != 0 ? -1 : 0;
  }
  // Pointers into the field buffers are taken only once the vector is in place.
  m_fields = std::move(fields);
  for (std::size_t i = 0; i < m_fields.size(); ++i) {
    XSQLVAR& var = statement->output.var(static_cast<int>(i));
    var.sqldata = m_fields[i].m_data.empty() ? &gEmptyData : m_fields[i].m_data.data();
    var.sqlind = &m_fields[i].m_indicator;
  }
  m_statement = std::move(statement);
}

void TDbQuery::bindParams() {
  detail::Statement& statement = *m_statement;
  for (std::size_t i = 0; i < m_paramSlots.size(); ++i) {
    XSQLVAR& var = statement.input.var(static_cast<int>(i));
    const detail::Described& described = statement.described[i];
    TDbValue& param = m_params[m_paramSlots[i]];
    const bool sendNull =
        param.IsNull() || (param.m_emptyText && describedAsNonText(described.type & ~1));
    if (sendNull) {
      var.sqltype = static_cast<ISC_SHORT>(described.type | 1);
      var.sqlscale = described.scale;
      var.sqlsubtype = described.subType;
      var.sqllen = described.length;
      var.sqldata = statement.nullData.empty() ? &gEmptyData : statement.nullData.data();
      var.sqlind = &statement.nullIndicator;
      continue;
    }
    var.sqltype = static_cast<ISC_SHORT>(param.m_sqlType | 1);
    var.sqlscale = static_cast<ISC_SHORT>(param.m_scale);
    var.sqlsubtype = static_cast<ISC_SHORT>(param.m_subType);
    var.sqllen = static_cast<ISC_SHORT>(param.m_data.size());
    var.sqldata = param.m_data.empty() ? &gEmptyData : param.m_data.data();
    var.sqlind = &param.m_indicator;
  }
}

bool TDbQuery::isSelect() const {
  return m_statement != nullptr && (m_statement->type == isc_info_sql_stmt_select ||
                                    m_statement->type == isc_info_sql_stmt_select_for_upd);
}

void TDbQuery::ExecQuery() {
  if (m_transaction == nullptr)
    throw EDbError("Transaction not assigned for " + qualifiedName() + ".");
  if ((m_options & qoStartTransaction) != 0 && !m_transaction->Active()) {
    m_transaction->StartTransaction();
  }
  if (!Prepared()) Prepare();
  checkReady();
  if (isSelect()) closeQuietly();

  const detail::ClientLibrary& api = m_statement->api();
  bindParams();
  detail::Status status;
  if (api.dsql_execute(status.get(), m_transaction->handle().get(), m_statement->get(),
                       m_statement->dialect, m_statement->input.get()) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
  if (isSelect()) {
    m_open = true;
    m_eof = false;
    if (m_goToFirst) Next();
  }
  if ((m_options & qoAutoCommit) != 0) {
    if (m_transaction->timeoutAction() == TACommitRetaining) {
      m_transaction->CommitRetaining();
    } else {
      m_transaction->Commit();
    }
  }
}

void TDbQuery::Next() {
  if (Eof()) return;
  const detail::ClientLibrary& api = m_statement->api();
  detail::Status status;
  const ISC_STATUS result = api.dsql_fetch(status.get(), m_statement->get(), m_statement->dialect,
                                           m_statement->output.get());
  if (result == 100) {
    m_eof = true;
    return;
  }
  if (result != 0) {
    closeQuietly();
    detail::raiseStatus(api, status, qualifiedName());
  }
}

void TDbQuery::Close() {
  if (!m_open) return;
  m_open = false;
  m_eof = true;
  const detail::ClientLibrary& api = m_statement->api();
  detail::Status status;
  if (api.dsql_free_statement(status.get(), m_statement->get(), DSQL_close) != 0 &&
      status.vector[1] != isc_dsql_cursor_close_err) {
    detail::raiseStatus(api, status, qualifiedName());
  }
}

void TDbQuery::closeQuietly() noexcept {
  try {
    Close();
  } catch (const std::exception&) {
    // The cursor is gone with its transaction or connection either way.
  }
}

void TDbQuery::unprepare() noexcept {
  closeQuietly();
  m_statement.reset();
  m_fields.clear();
}

}  // namespace netupdate::db
