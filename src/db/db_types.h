#pragma once

namespace netupdate::db {

// Which parameter list a transaction start fills in before it builds its block.
enum TPBMode { tpbDefault, tpbReadCommitted, tpbRepeatableRead };

// How an active transaction ends when its object or its connection goes away,
// and which commit a query's auto-commit uses.
enum TimeoutAction { TARollback, TARollbackRetaining, TACommit, TACommitRetaining };

// Query options, combined with |.
enum TQueryOption : unsigned {
  qoStartTransaction = 1u << 0,  // ExecQuery starts an inactive transaction
  qoAutoCommit = 1u << 1,        // every successful ExecQuery commits
};
using TQueryOptions = unsigned;

}  // namespace netupdate::db
