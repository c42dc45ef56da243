#include <windows.h>

#include <algorithm>
#include <utility>

#include "common/error.h"
#include "common/wide_text.h"
#include "download/file_sink.h"

namespace netupdate::download {

namespace {

HANDLE handleOf(std::intptr_t handle) {
  return reinterpret_cast<HANDLE>(handle);
}

// The system's own description, in the language Windows picks for the user;
// it ends in a line break that has no place inside our message.
std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) return {};
  std::string message = common::narrow(std::wstring_view(text, length));
  ::LocalFree(text);
  return message;
}

HANDLE openPageFile(const std::string& path, DWORD disposition) {
  return ::CreateFileW(common::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string withoutTrailingDots(std::string reason) {
  while (!reason.empty() &&
         (static_cast<unsigned char>(reason.back()) <= ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

}  // namespace

FileSink FileSink::create(const std::string& path) {
  const HANDLE file = openPageFile(path, CREATE_ALWAYS);
  if (file == INVALID_HANDLE_VALUE) {
    throw common::Error(cannotCreateFileMessage(path, static_cast<int>(::GetLastError())));
  }
  return FileSink(reinterpret_cast<std::intptr_t>(file));
}

std::optional<FileSink> FileSink::createNew(const std::string& path) {
  const HANDLE file = openPageFile(path, CREATE_NEW);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return std::nullopt;
    throw common::Error(cannotCreateFileMessage(path, static_cast<int>(error)));
  }
  return FileSink(reinterpret_cast<std::intptr_t>(file));
}

void removeFile(const std::string& path) {
  if (::DeleteFileW(common::widen(path).c_str())) return;
  throw common::Error("Cannot delete file \"" + fullPath(path) + "\". " +
                      withoutTrailingDots(systemMessage(::GetLastError())));
}

FileSink::FileSink(FileSink&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

FileSink& FileSink::operator=(FileSink&& other) noexcept {
  if (this != &other) {
    closeQuietly();
    m_handle = std::exchange(other.m_handle, -1);
  }
  return *this;
}

FileSink::~FileSink() {
  closeQuietly();
}

void FileSink::closeQuietly() noexcept {
  if (m_handle != -1) ::CloseHandle(handleOf(std::exchange(m_handle, -1)));
}

void FileSink::write(const char* data, std::size_t size) {
  while (size > 0) {
    DWORD written = 0;
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
    if (m_handle == -1 || !::WriteFile(handleOf(m_handle), data, piece, &written, nullptr)) {
      throw common::Error("Stream write error");
    }
    data += written;
    size -= written;
  }
}

void FileSink::close() {
  if (m_handle == -1) return;
  if (!::CloseHandle(handleOf(std::exchange(m_handle, -1)))) {
    throw common::Error("Stream write error");
  }
}

std::string fullPath(const std::string& path) {
  const std::wstring wide = common::widen(path);
  std::wstring full(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return common::narrow(full);
    }
    full.resize(length);
  }
}

std::string cannotCreateFileMessage(const std::string& path, int systemError) {
  return "Cannot create file \"" + fullPath(path) + "\". " +
         withoutTrailingDots(systemMessage(static_cast<DWORD>(systemError)));
}

}  // namespace netupdate::download
