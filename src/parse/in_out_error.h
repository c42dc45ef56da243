#pragma once

#include <string>

#include "common/error.h"

namespace netupdate::parse {

// A file-system failure while the page file is opened, read or closed. The
// code is in the host platform's numbering (2 not found, 3 path not found,
// 4 too many open files, 5 access denied), because the message the user sees
// is chosen by it; see ioErrorCode for how the POSIX error numbers map onto it.
class EInOutError : public common::Error {
 public:
  EInOutError(int code, const std::string& path);

  // From errno as left by a failed call on the file at path.
  static EInOutError fromErrno(int errnoValue, const std::string& path);

  int code() const { return m_code; }

 private:
  int m_code;
};

int ioErrorCode(int errnoValue);

}  // namespace netupdate::parse
