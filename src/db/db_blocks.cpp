#include "db/db_blocks.h"

#include <ibase.h>

#include <array>
#include <cctype>
#include <utility>

#include "db/client_platform.h"
#include "db/db_error.h"
#include "db/text_util.h"

namespace netupdate::db {

namespace {

// String-valued DPB items only: the block carries every value as text.
constexpr std::array<std::pair<std::string_view, char>, 9> kDpbItems{{
    {"user_name", isc_dpb_user_name},
    {"password", isc_dpb_password},
    {"password_enc", isc_dpb_password_enc},
    {"sql_role_name", isc_dpb_sql_role_name},
    {"lc_ctype", isc_dpb_lc_ctype},
    {"lc_messages", isc_dpb_lc_messages},
    {"sys_user_name", isc_dpb_sys_user_name},
    {"auth_plugin_list", isc_dpb_auth_plugin_list},
    {"config", isc_dpb_config},
}};

// TPB items that stand alone; the ones that need a table name or a number
// after them (lock_read, lock_write, lock_timeout) cannot be written as a bare name.
constexpr std::array<std::pair<std::string_view, char>, 18> kTpbItems{{
    {"consistency", isc_tpb_consistency},
    {"concurrency", isc_tpb_concurrency},
    {"shared", isc_tpb_shared},
    {"protected", isc_tpb_protected},
    {"exclusive", isc_tpb_exclusive},
    {"wait", isc_tpb_wait},
    {"nowait", isc_tpb_nowait},
    {"read", isc_tpb_read},
    {"write", isc_tpb_write},
    {"verb_time", isc_tpb_verb_time},
    {"commit_time", isc_tpb_commit_time},
    {"ignore_limbo", isc_tpb_ignore_limbo},
    {"read_committed", isc_tpb_read_committed},
    {"autocommit", isc_tpb_autocommit},
    {"rec_version", isc_tpb_rec_version},
    {"no_rec_version", isc_tpb_no_rec_version},
    {"restart_requests", isc_tpb_restart_requests},
    {"no_auto_undo", isc_tpb_no_auto_undo},
}};

constexpr std::size_t kMaxItemLength = 255;

bool isIdentifierChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalnum(u) != 0 || c == '_' || c == '$' || u >= 0x80;
}

}  // namespace

std::string buildDpb(const std::vector<TDbConnectParam>& params) {
  std::string dpb(1, static_cast<char>(isc_dpb_version1));
  for (const TDbConnectParam& param : params) {
    const std::string line = trimControl(param.name + "=" + param.value);
    const std::size_t eq = line.find('=');
    const std::string_view name = std::string_view(line).substr(0, eq);
    const std::string value = detail::clientText(std::string_view(line).substr(eq + 1));
    const auto* item = findName(kDpbItems, name, "isc_dpb_");
    if (item == nullptr) {
      throw EDbError("Unknown connection parameter \"" + std::string(name) + "\".");
    }
    if (value.size() > kMaxItemLength) {
      throw EDbError("The value of connection parameter \"" + std::string(name) +
                     "\" is longer than 255 bytes.");
    }
    dpb += item->second;
    dpb += static_cast<char>(value.size());
    dpb += value;
  }
  return dpb;
}

std::vector<std::string> tpbLinesFor(TPBMode mode) {
  switch (mode) {
    case tpbReadCommitted:
      return {"write", "isc_tpb_nowait", "read_committed", "rec_version"};
    case tpbRepeatableRead:
      return {"write", "isc_tpb_nowait", "concurrency"};
    case tpbDefault:
      break;
  }
  return {};
}

std::string buildTpb(const std::vector<std::string>& lines) {
  if (lines.empty()) return {};
  std::string tpb(1, static_cast<char>(isc_tpb_version3));
  for (const std::string& line : lines) {
    const std::string name = trimControl(line);
    const auto* item = findName(kTpbItems, name, "isc_tpb_");
    if (item == nullptr) {
      throw EDbError("Unknown transaction parameter \"" + name + "\".");
    }
    tpb += item->second;
  }
  return tpb;
}

ParsedSql parseSqlParams(std::string_view sql) {
  ParsedSql parsed;
  parsed.text.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      // A doubled quote inside the literal escapes itself, so scanning to the
      // next quote and continuing handles it as two adjacent literals.
      const std::size_t end = sql.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      parsed.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 1;
      parsed.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      parsed.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == ':' && i + 1 < sql.size() && isIdentifierChar(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && isIdentifierChar(sql[end])) ++end;
      const std::string_view name = sql.substr(i + 1, end - i - 1);
      std::size_t index = 0;
      while (index < parsed.names.size() && !equalsIgnoringCase(parsed.names[index], name)) ++index;
      if (index == parsed.names.size()) parsed.names.emplace_back(name);
      parsed.slots.push_back(index);
      parsed.text += '?';
      i = end;
    } else {
      parsed.text += c;
      ++i;
    }
  }
  return parsed;
}

}  // namespace netupdate::db
