#include "db/db_connection.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "db/db_blocks.h"
#include "db/db_error.h"
#include "db/db_query.h"
#include "db/db_transaction.h"
#include "db/handles.h"
#include "db/text_util.h"

namespace netupdate::db {

namespace {

constexpr std::string_view kUserName = "user_name";
constexpr std::string_view kPassword = "password";
constexpr std::string_view kRoleName = "sql_role_name";
constexpr std::string_view kCharSet = "lc_ctype";

std::string qualify(const std::string& owner, const std::string& name) {
  return owner.empty() ? name : owner + "." + name;
}

// The value of one item in a database info answer: items follow each other as
// code, two-byte length, value, up to isc_info_end. None when the item is
// missing or the answer is cut short.
std::optional<std::string_view> infoValue(const detail::ClientLibrary& api, const char* buffer,
                                          std::size_t size, char wanted) {
  std::size_t pos = 0;
  while (pos + 3 <= size && buffer[pos] != isc_info_end) {
    const char item = buffer[pos];
    const auto length = static_cast<short>(api.vax_integer(buffer + pos + 1, 2));
    if (length < 0 || pos + 3 + static_cast<std::size_t>(length) > size) break;
    if (item == wanted) return std::string_view(buffer + pos + 3, static_cast<std::size_t>(length));
    pos += 3 + static_cast<std::size_t>(length);
  }
  return std::nullopt;
}

// The dialect the database itself was created with; a server that does not
// answer the item has only dialect 1.
int databaseDialect(detail::Attachment& attachment, const std::string& objectName) {
  const detail::ClientLibrary& api = attachment.api();
  const char items[] = {isc_info_db_sql_dialect, isc_info_end};
  char buffer[64] = {};
  detail::Status status;
  if (api.database_info(status.get(), attachment.get(), sizeof items, items, sizeof buffer,
                        buffer) != 0) {
    detail::raiseStatus(api, status, objectName);
  }
  const std::optional<std::string_view> value =
      infoValue(api, buffer, sizeof buffer, isc_info_db_sql_dialect);
  if (!value) return 1;
  return static_cast<int>(api.vax_integer(value->data(), static_cast<short>(value->size())));
}

// The first text of an info item that holds a counted list of texts, as the
// version items do: the server's own version comes first, then the network
// layers' between here and there.
std::string firstInfoText(const detail::ClientLibrary& api, const char* buffer, std::size_t size,
                          char wanted) {
  const std::optional<std::string_view> value = infoValue(api, buffer, size, wanted);
  if (!value || value->size() < 2) return {};
  const auto textLength = static_cast<unsigned char>((*value)[1]);
  if (2 + static_cast<std::size_t>(textLength) > value->size()) return {};
  return std::string(value->substr(2, textLength));
}

}  // namespace

std::string TDbConnection::ServerVersion() const {
  if (!Connected())
    throw EDbError(qualifiedName() + ": Cannot perform operation -- DB is not open.");
  const detail::ClientLibrary& api = m_attachment->api();
  // isc_info_firebird_version names Firebird itself; servers before it only
  // answer the older isc_info_version.
  const char items[] = {isc_info_firebird_version, isc_info_version, isc_info_end};
  char buffer[1024] = {};
  detail::Status status;
  if (api.database_info(status.get(), m_attachment->get(), sizeof items, items, sizeof buffer,
                        buffer) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
  std::string version = firstInfoText(api, buffer, sizeof buffer, isc_info_firebird_version);
  if (version.empty()) version = firstInfoText(api, buffer, sizeof buffer, isc_info_version);
  return version;
}

std::string TConnectParams::UserName() const {
  return m_connection.Param(kUserName);
}
void TConnectParams::setUserName(std::string_view value) {
  m_connection.setParam(kUserName, value);
}
std::string TConnectParams::Password() const {
  return m_connection.Param(kPassword);
}
void TConnectParams::setPassword(std::string_view value) {
  m_connection.setParam(kPassword, value);
}
std::string TConnectParams::RoleName() const {
  return m_connection.Param(kRoleName);
}
void TConnectParams::setRoleName(std::string_view value) {
  m_connection.setParam(kRoleName, value);
}
std::string TConnectParams::CharSet() const {
  return m_connection.Param(kCharSet);
}

void TConnectParams::setCharSet(std::string_view value) {
  std::string upper(value);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  m_connection.setParam(kCharSet, upper);
}

TDbConnection::TDbConnection(std::string name, std::string ownerName)
    : m_name(std::move(name)),
      m_ownerName(std::move(ownerName)),
      m_libraryNames(detail::defaultClientLibraryNames()) {}

TDbConnection::~TDbConnection() {
  disconnect();
  for (TDbTransaction* transaction : m_transactions) transaction->connectionGone();
  for (TDbQuery* query : m_queries) query->m_connection = nullptr;
}

std::string TDbConnection::qualifiedName() const {
  return qualify(m_ownerName, m_name);
}

void TDbConnection::setDBName(std::string_view name) {
  if (name == m_dbName) return;
  checkClosed();
  m_dbName = name;
}

void TDbConnection::setParam(std::string_view name, std::string_view value) {
  checkClosed();
  const auto found = std::find_if(m_params.begin(), m_params.end(), [&](const auto& param) {
    return equalsIgnoringCase(param.name, name);
  });
  if (value.empty()) {
    if (found != m_params.end()) m_params.erase(found);
  } else if (found != m_params.end()) {
    found->value = value;
  } else {
    m_params.push_back({std::string(name), std::string(value)});
  }
}

std::string TDbConnection::Param(std::string_view name) const {
  for (const TDbConnectParam& param : m_params) {
    if (equalsIgnoringCase(param.name, name)) return param.value;
  }
  return {};
}

void TDbConnection::setClientLibraryNames(std::vector<std::string> names) {
  checkClosed();
  m_libraryNames = std::move(names);
}

bool TDbConnection::Connected() const {
  return m_attachment && m_attachment->attached();
}

void TDbConnection::setConnected(bool connected) {
  if (connected) {
    connect();
  } else {
    disconnect();
  }
}

void TDbConnection::checkClosed() const {
  if (Connected()) throw EDbError(kDbIsOpen);
}

void TDbConnection::connect() {
  checkClosed();
  if (m_dbName.empty()) throw EDbError(kDbNameMissing);
  // Built before the library is touched: a refused parameter never reaches the server.
  const std::string dpb = buildDpb(m_params);
  // The whole attach string, a server's "host:" included: the client library
  // splits it itself.
  const std::string path = detail::clientText(m_dbName);
  // The client library takes the length as a signed 16-bit number.
  if (path.size() > 32767) throw EDbError("Database name is longer than 32767 bytes.");

  const detail::ClientLibrary& api = detail::ClientLibrary::load(m_libraryNames);
  auto attachment = std::make_unique<detail::Attachment>(api);
  {
    const detail::ClientCharsetScope charset;
    detail::Status status;
    if (api.attach_database(status.get(), static_cast<short>(path.size()), path.data(),
                            attachment->get(), static_cast<short>(dpb.size()), dpb.data()) != 0) {
      detail::raiseStatus(api, status, qualifiedName());
    }
  }
  const int dialect = databaseDialect(*attachment, qualifiedName());
  m_databaseDialect = dialect;
  if (dialect < m_sqlDialect) m_sqlDialect = dialect;
  m_attachment = std::move(attachment);
}

void TDbConnection::disconnect() noexcept {
  if (!m_attachment) return;
  for (TDbQuery* query : m_queries) query->unprepare();
  for (TDbTransaction* transaction : m_transactions) transaction->endByTimeoutAction();
  m_attachment.reset();
}

void TDbConnection::attach(TDbTransaction* transaction) {
  m_transactions.push_back(transaction);
}

void TDbConnection::detach(TDbTransaction* transaction) noexcept {
  std::erase(m_transactions, transaction);
  if (m_defaultTransaction == transaction) m_defaultTransaction = nullptr;
}

void TDbConnection::attach(TDbQuery* query) {
  m_queries.push_back(query);
}

void TDbConnection::detach(TDbQuery* query) noexcept {
  std::erase(m_queries, query);
}

detail::Attachment& TDbConnection::attachment() const {
  return *m_attachment;
}

}  // namespace netupdate::db
