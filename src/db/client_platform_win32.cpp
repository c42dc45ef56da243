#include <windows.h>

#include "common/wide_text.h"
#include "db/client_platform.h"

namespace netupdate::db::detail {

namespace {

std::string systemMessage(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message =
      length == 0 ? "error " + std::to_string(code) : common::narrow({text, length});
  ::LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

// The name the host application installs, next to itself or on the system
// path. gds32.dll, the name an old InterBase client also has, is not tried:
// loading InterBase's library instead of Firebird's would go wrong later and
// less clearly than a missing library.
std::vector<std::string> defaultClientLibraryNames() {
  return {"fbclient.dll"};
}

void* openClientLibrary(const std::string& name, std::string& reason) {
  const HMODULE library = ::LoadLibraryW(common::widen(name).c_str());
  if (library == nullptr) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_BAD_EXE_FORMAT) {
      // Most often a 32-bit client library beside the 64-bit program or the
      // other way round: the one thing the person installing can change.
      reason = name + ": not a library a " + std::to_string(sizeof(void*) * 8) +
               "-bit program can load (the client library must have the program's bitness)";
    } else {
      reason = name + ": " + systemMessage(error);
    }
  }
  return library;
}

// Going through the generic function type keeps the calling convention of
// each entry point to its type from ibase.h (__stdcall on x86).
ClientFunction findClientFunction(void* library, const char* name) {
  return reinterpret_cast<ClientFunction>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

// The client library reads names in the system's real ANSI code page (also
// where that has two bytes per character). A character it lacks becomes "?"
// rather than a look-alike, so the attach fails instead of opening another file.
std::string clientText(std::string_view utf8) {
  const std::wstring wide = common::widen(utf8);
  if (wide.empty()) return {};
  const int size = static_cast<int>(wide.size());
  // UTF-8 as the system's code page (and a few others) refuses the flag and
  // has no look-alikes to avoid anyway.
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int length =
      ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  if (length == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    length = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, nullptr, 0, nullptr, nullptr);
  }
  std::string out(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

// The Windows client library takes the code page from the system, not from a locale.
ClientCharsetScope::ClientCharsetScope() = default;
ClientCharsetScope::~ClientCharsetScope() = default;

}  // namespace netupdate::db::detail
