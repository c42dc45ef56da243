#include <windows.h>

#include "common/wide_text.h"
#include "download/testing/test_files.h"

namespace netupdate::download::testing {

namespace {

DWORD codeFor(CreateFailure failure) {
  switch (failure) {
    case CreateFailure::MissingFolder:
    case CreateFailure::FolderIsAFile:
      return ERROR_PATH_NOT_FOUND;
    case CreateFailure::NameIsAFolder:
      return ERROR_ACCESS_DENIED;
    case CreateFailure::HeldByAnotherProgram:
      break;
  }
  return ERROR_SHARING_VIOLATION;
}

}  // namespace

// The texts are the system's own and depend on its language, so the test
// asks the system for them rather than spelling them out; what is checked is
// that the failure is reported with the right code.
std::string reasonFor(CreateFailure failure) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, codeFor(failure), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string reason = length == 0 ? "" : common::narrow(std::wstring_view(text, length));
  ::LocalFree(text);
  while (!reason.empty() && (reason.back() == '\r' || reason.back() == '\n' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

// Nobody can take the file for themselves while a handle of ours is on it.
bool openInThisProcess(const fs::path& path) {
  const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::CloseHandle(file);
    return false;
  }
  return ::GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace netupdate::download::testing
