#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/db_connection.h"
#include "db/db_types.h"

namespace netupdate::db {

// The database parameter block sent with the attach: the version byte, then
// per parameter in list order its item code, a one-byte length and the value
// in the client library's character set for names (detail::clientText: the
// ANSI code page on Windows, UTF-8 on Linux, where the client library refuses
// Windows-1250 bytes in a password or role name). Each "name=value" line is trimmed of blanks and
// control characters at both ends first. Throws EDbError for an unknown name
// or a value longer than 255 bytes, before anything reaches the server.
std::string buildDpb(const std::vector<TDbConnectParam>& params);

// The parameter lines a transaction start puts in TRParams for the mode;
// tpbDefault gives none (the caller keeps its own list).
std::vector<std::string> tpbLinesFor(TPBMode mode);

// The transaction parameter block: empty for an empty list (server defaults),
// else the version byte followed by one item code per line. Names are matched
// ignoring case, with or without "isc_tpb_". Throws EDbError for an unknown name.
std::string buildTpb(const std::vector<std::string>& lines);

// A statement text with its ":NAME" markers replaced by "?".
struct ParsedSql {
  std::string text;
  // Distinct names in order of first occurrence, as first written.
  std::vector<std::string> names;
  // For every "?" placed, the index into names.
  std::vector<std::size_t> slots;
};

// Markers inside quoted literals, quoted identifiers and comments are left alone.
ParsedSql parseSqlParams(std::string_view sql);

}  // namespace netupdate::db
