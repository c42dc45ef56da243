#pragma once

#include <cstdint>
#include <string>

#include "common/error.h"

namespace netupdate::db {

// Every failure of the database layer. Errors the client library or the server
// report carry the engine's SQLCODE and its first error code; the layer's own
// checks (object state, names, conversions) carry 0 for both.
class EDbError : public common::Error {
 public:
  explicit EDbError(const std::string& message, int sqlcode = 0, std::intptr_t gdscode = 0)
      : common::Error(message), m_sqlcode(sqlcode), m_gdscode(gdscode) {}

  int sqlcode() const { return m_sqlcode; }
  // The first error code of the status vector (isc_lock_conflict and the like).
  std::intptr_t gdscode() const { return m_gdscode; }

 private:
  int m_sqlcode;
  std::intptr_t m_gdscode;
};

// The texts of the layer's own errors, shared by the classes that raise them.
inline constexpr const char* kDbIsOpen = "Cannot perform operation -- DB is currently open.";
inline constexpr const char* kDbNameMissing = "Database name is missing.";
inline constexpr const char* kInvalidConversion = "Invalid data conversion.";

}  // namespace netupdate::db
