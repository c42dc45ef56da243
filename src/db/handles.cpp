#include "db/handles.h"

#include <cstring>

namespace netupdate::db::detail {

Attachment::~Attachment() {
  if (m_handle == 0) return;
  // Nothing to be done about a detach that fails at this point.
  Status status;
  m_api->detach_database(status.get(), &m_handle);
}

Transaction::~Transaction() {
  if (m_handle == 0) return;
  Status status;
  m_api->rollback_transaction(status.get(), &m_handle);
}

Xsqlda::Xsqlda(int columns) : m_columns(columns < 1 ? 1 : columns) {
  const std::size_t size = XSQLDA_LENGTH(static_cast<std::size_t>(m_columns));
  m_buffer = std::make_unique<char[]>(size);
  std::memset(m_buffer.get(), 0, size);
  get()->version = SQLDA_VERSION1;
  get()->sqln = static_cast<ISC_SHORT>(m_columns);
}

Statement::~Statement() {
  if (m_handle == 0) return;
  Status status;
  m_api->dsql_free_statement(status.get(), &m_handle, DSQL_drop);
}

}  // namespace netupdate::db::detail
