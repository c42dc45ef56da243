#include "db/db_transaction.h"

#include <algorithm>

#include "db/db_blocks.h"
#include "db/db_connection.h"
#include "db/db_error.h"
#include "db/db_query.h"
#include "db/handles.h"

namespace netupdate::db {

namespace {

// One entry of the vector isc_start_multiple takes: the layout the client
// library reads, which ibase.h does not declare.
struct TransactionElement {
  isc_db_handle* database;
  long tpbLength;
  const char* tpb;
};

}  // namespace

TDbTransaction::TDbTransaction(std::string name, std::string ownerName)
    : m_name(std::move(name)), m_ownerName(std::move(ownerName)) {}

TDbTransaction::~TDbTransaction() {
  endByTimeoutAction();
  for (TDbQuery* query : m_queries) query->m_transaction = nullptr;
  if (m_connection != nullptr) m_connection->detach(this);
}

std::string TDbTransaction::qualifiedName() const {
  return m_ownerName.empty() ? m_name : m_ownerName + "." + m_name;
}

void TDbTransaction::setConnection(TDbConnection* connection) {
  if (connection == m_connection) return;
  if (Active())
    throw EDbError(qualifiedName() + ": Cannot change the connection of an active transaction.");
  if (m_connection != nullptr) m_connection->detach(this);
  m_connection = connection;
  if (m_connection != nullptr) m_connection->attach(this);
}

bool TDbTransaction::Active() const {
  return m_handle && m_handle->active();
}

void TDbTransaction::setActive(bool active) {
  if (active) {
    if (!Active()) StartTransaction();
  } else if (Active()) {
    Rollback();
  }
}

void TDbTransaction::checkConnected() const {
  if (m_connection == nullptr || !m_connection->Connected()) {
    const std::string name =
        m_connection != nullptr ? m_connection->qualifiedName() : qualifiedName();
    throw EDbError(name + ": Cannot perform operation -- DB is not open.");
  }
}

void TDbTransaction::StartTransaction() {
  if (Active()) throw EDbError(qualifiedName() + ": Transaction is already active.");
  checkConnected();
  if (m_tpbMode != tpbDefault) m_trParams = tpbLinesFor(m_tpbMode);
  const std::string tpb = buildTpb(m_trParams);

  detail::Attachment& attachment = m_connection->attachment();
  const detail::ClientLibrary& api = attachment.api();
  auto handle = std::make_unique<detail::Transaction>(api);
  TransactionElement element{attachment.get(), static_cast<long>(tpb.size()), tpb.data()};
  detail::Status status;
  if (api.start_multiple(status.get(), handle->get(), 1, &element) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
  m_handle = std::move(handle);
}

void TDbTransaction::Commit() {
  if (!Active()) throw EDbError(qualifiedName() + " :Transaction is not active.");
  closeCursors();
  const detail::ClientLibrary& api = m_connection->attachment().api();
  detail::Status status;
  if (api.commit_transaction(status.get(), m_handle->get()) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
  m_handle.reset();
}

void TDbTransaction::Rollback() {
  if (!Active()) throw EDbError(qualifiedName() + " :Transaction is not active.");
  closeCursors();
  const detail::ClientLibrary& api = m_connection->attachment().api();
  detail::Status status;
  if (api.rollback_transaction(status.get(), m_handle->get()) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
  m_handle.reset();
}

void TDbTransaction::CommitRetaining() {
  if (!Active()) throw EDbError(qualifiedName() + " :Transaction is not active.");
  const detail::ClientLibrary& api = m_connection->attachment().api();
  detail::Status status;
  if (api.commit_retaining(status.get(), m_handle->get()) != 0) {
    detail::raiseStatus(api, status, qualifiedName());
  }
}

void TDbTransaction::closeCursors() noexcept {
  for (TDbQuery* query : m_queries) query->closeQuietly();
}

void TDbTransaction::endByTimeoutAction() noexcept {
  if (!Active()) return;
  try {
    if (m_timeoutAction == TACommit || m_timeoutAction == TACommitRetaining) {
      Commit();
      return;
    }
    Rollback();
  } catch (const std::exception&) {
    // Whatever the server said, the handle must go: the Transaction owner
    // rolls back what a failed commit left behind.
  }
  m_handle.reset();
}

void TDbTransaction::connectionGone() noexcept {
  endByTimeoutAction();
  m_connection = nullptr;
}

void TDbTransaction::attach(TDbQuery* query) {
  m_queries.push_back(query);
}

void TDbTransaction::detach(TDbQuery* query) noexcept {
  std::erase(m_queries, query);
}

detail::Transaction& TDbTransaction::handle() const {
  return *m_handle;
}

}  // namespace netupdate::db
