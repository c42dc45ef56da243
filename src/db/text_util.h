#pragma once

#include <string>
#include <string_view>

#include "common/ascii.h"

namespace netupdate::db {

// Names of items, parameters and columns compare without regard to a-z case.
using common::equalsIgnoringCase;

// Strips blanks and control characters (bytes up to 0x20) at both ends.
std::string trimControl(std::string_view text);

// Looks a name up in a table of {name, code} pairs, ignoring case and an optional prefix.
template <typename Table>
const typename Table::value_type* findName(const Table& table, std::string_view name,
                                           std::string_view prefix) {
  if (name.size() >= prefix.size() && equalsIgnoringCase(name.substr(0, prefix.size()), prefix)) {
    name.remove_prefix(prefix.size());
  }
  for (const auto& entry : table) {
    if (equalsIgnoringCase(entry.first, name)) return &entry;
  }
  return nullptr;
}

}  // namespace netupdate::db
