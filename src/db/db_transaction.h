#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/db_types.h"

namespace netupdate::db {

class TDbConnection;
class TDbQuery;

namespace detail {
class Transaction;
}

// One Firebird transaction on one connection. Ends by its TimeoutAction when
// destroyed or when its connection disconnects; the destructor never throws.
class TDbTransaction {
 public:
  explicit TDbTransaction(std::string name, std::string ownerName = {});
  ~TDbTransaction();
  TDbTransaction(const TDbTransaction&) = delete;
  TDbTransaction& operator=(const TDbTransaction&) = delete;

  const std::string& Name() const { return m_name; }
  std::string qualifiedName() const;

  TDbConnection* Connection() const { return m_connection; }
  // Refused while the transaction is active.
  void setConnection(TDbConnection* connection);

  TPBMode tpbMode() const { return m_tpbMode; }
  void setTPBMode(TPBMode mode) { m_tpbMode = mode; }
  // Item names such as "write" or "isc_tpb_nowait"; refilled from the TPBMode
  // at every start unless that is tpbDefault.
  std::vector<std::string>& TRParams() { return m_trParams; }
  const std::vector<std::string>& TRParams() const { return m_trParams; }

  TimeoutAction timeoutAction() const { return m_timeoutAction; }
  void setTimeoutAction(TimeoutAction action) { m_timeoutAction = action; }

  bool Active() const;
  // true starts an inactive transaction, false rolls an active one back.
  void setActive(bool active);

  void StartTransaction();
  // Both close the open cursors of the transaction's queries first.
  void Commit();
  void Rollback();
  // Commits and keeps the transaction active.
  void CommitRetaining();

 private:
  friend class TDbConnection;
  friend class TDbQuery;

  void checkConnected() const;
  void closeCursors() noexcept;
  void endByTimeoutAction() noexcept;
  void connectionGone() noexcept;
  void attach(TDbQuery* query);
  void detach(TDbQuery* query) noexcept;
  detail::Transaction& handle() const;

  std::string m_name;
  std::string m_ownerName;
  TDbConnection* m_connection = nullptr;
  TPBMode m_tpbMode = tpbReadCommitted;
  std::vector<std::string> m_trParams;
  TimeoutAction m_timeoutAction = TARollback;
  std::vector<TDbQuery*> m_queries;
  std::unique_ptr<detail::Transaction> m_handle;
};

}  // namespace netupdate::db
