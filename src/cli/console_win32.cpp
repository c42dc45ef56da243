// windows.h first: shellapi.h builds on it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "cli/console.h"
#include "common/wide_text.h"

namespace netupdate::cli {

namespace {

// The console behind a stream, or nullptr when it leads to a file or a pipe.
HANDLE consoleOf(std::FILE* stream) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  DWORD mode = 0;
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_CHAR ||
      !::GetConsoleMode(handle, &mode)) {
    return nullptr;
  }
  return handle;
}

}  // namespace

// argv of a Windows program is in the ANSI code page, which cannot hold every
// name a user may type; the wide command line can.
std::vector<std::string> programArguments(int, char**) {
  int count = 0;
  const std::unique_ptr<wchar_t*, decltype(&::LocalFree)> arguments(
      ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
  std::vector<std::string> result;
  if (!arguments) return result;
  for (int i = 0; i < count; ++i) result.push_back(common::narrow(arguments.get()[i]));
  return result;
}

std::string programPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return common::narrow(path);
}

void useBinaryStandardStreams() {
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
}

void writeText(std::FILE* stream, std::string_view text) {
  const HANDLE console = consoleOf(stream);
  if (console == nullptr) {
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  // What went out through stdio before must stay before.
  std::fflush(stream);
  const std::wstring wide = common::widen(text);
  std::wstring_view left = wide;
  while (!left.empty()) {
    // Old consoles take at most some tens of kilobytes per call; a piece
    // never ends inside a surrogate pair.
    std::size_t piece = std::min<std::size_t>(left.size(), 8192);
    if (piece < left.size() && left[piece - 1] >= 0xD800 && left[piece - 1] <= 0xDBFF) --piece;
    DWORD written = 0;
    if (!::WriteConsoleW(console, left.data(), static_cast<DWORD>(piece), &written, nullptr) ||
        written == 0) {
      return;
    }
    left.remove_prefix(written);
  }
}

}  // namespace netupdate::cli
