#include <windows.h>

#include <algorithm>

#include "common/wide_text.h"
#include "parse/in_out_error.h"
#include "parse/input_file.h"

// The system's error codes are the ones EInOutError keys its messages by, so
// GetLastError() goes into it unchanged.
namespace netupdate::parse {

namespace {

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

EInOutError lastError(const std::string& path) {
  return EInOutError(static_cast<int>(::GetLastError()), path);
}

}  // namespace

InputFile::InputFile(const std::string& path) : m_path(path) {
  // Opening a folder this way fails with "access denied", as it should.
  const HANDLE file =
      ::CreateFileW(common::widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw lastError(m_path);
  m_handle = reinterpret_cast<std::intptr_t>(file);
}

InputFile::~InputFile() {
  if (m_handle != -1) ::CloseHandle(handleOf(m_handle));
}

std::size_t InputFile::read(char* data, std::size_t size) {
  DWORD got = 0;
  const auto wanted = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
  if (!::ReadFile(handleOf(m_handle), data, wanted, &got, nullptr)) throw lastError(m_path);
  return got;
}

void InputFile::close() {
  const HANDLE file = handleOf(m_handle);
  m_handle = -1;
  if (file != INVALID_HANDLE_VALUE && !::CloseHandle(file)) throw lastError(m_path);
}

// Only a path that certainly names no file is skipped silently: nothing
// there, a folder, or a name no file can have. Anything else (a server that
// does not answer, a name too long) is left to the open, which says why.
bool namesNoFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(common::widen(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

}  // namespace netupdate::parse
