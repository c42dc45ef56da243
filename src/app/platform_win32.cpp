#include <windows.h>

#include <string>

#include "app/platform.h"
#include "common/wide_text.h"

namespace netupdate::app {

std::string currentDirectory() {
  // The length asked for first includes the terminating NUL; the directory
  // may change between the two calls, so ask again until it fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 4; ++attempt) {
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return ".";
    if (length < buffer.size()) {
      buffer.resize(length);
      return common::narrow(buffer);
    }
    buffer.assign(length, L'\0');
  }
  return ".";
}

common::Date today() {
  SYSTEMTIME local{};
  ::GetLocalTime(&local);
  return {local.wYear, local.wMonth, local.wDay};
}

char pathSeparator() {
  return '\\';
}

}  // namespace netupdate::app
