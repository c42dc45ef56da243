#pragma once

#include <string>

#include "common/error.h"

namespace netupdate::parse {

// A file-system failure while the page file is opened, read or closed. The
// code is a Windows system error code (2 not found, 3 path not found, 4 too
// many open files, 5 access denied), because the message the user sees is
// chosen by it: on Windows it is the system's own, elsewhere errno is
// translated into it where the file is opened (errno_codes.h).
class EInOutError : public common::Error {
 public:
  EInOutError(int code, const std::string& path);

  int code() const { return m_code; }

 private:
  int m_code;
};

}  // namespace netupdate::parse
