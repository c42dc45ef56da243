#include <windows.h>

#include <algorithm>

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

namespace {

std::wstring folderFrom(UINT (*get)(wchar_t*, UINT)) {
  std::wstring folder(MAX_PATH, L'\0');
  const UINT length = get(folder.data(), static_cast<UINT>(folder.size()));
  if (length == 0 || length >= folder.size()) return {};
  folder.resize(length);
  return folder;
}

UINT systemFolder(wchar_t* buffer, UINT size) {
  // A 32-bit program on 64-bit Windows reads System32 as SysWOW64; name the
  // folder its files really come from.
  if (sizeof(void*) == 4) {
    const UINT length = ::GetSystemWow64DirectoryW(buffer, size);
    if (length != 0) return length;
  }
  return ::GetSystemDirectoryW(buffer, size);
}

UINT windowsFolder(wchar_t* buffer, UINT size) {
  return ::GetWindowsDirectoryW(buffer, size);
}

// The file a module was loaded from; the program's own for none.
std::wstring moduleFile(HMODULE module) {
  std::wstring path(32768, L'\0');
  path.resize(::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
  return path;
}

std::wstring programFolder() {
  const std::wstring path = moduleFile(nullptr);
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring currentFolder() {
  const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return {};
  std::wstring folder(size, L'\0');
  folder.resize(::GetCurrentDirectoryW(size, folder.data()));
  return folder;
}

// LoadLibraryW's order for a plain name with safe DLL search mode on, as
// Windows ships it: the program's folder, the system folder, the Windows
// folder, the working directory, then every folder of PATH.
std::vector<std::wstring> searchFolders() {
  std::vector<std::wstring> folders = {programFolder(), folderFrom(systemFolder),
                                       folderFrom(windowsFolder), currentFolder()};
  const DWORD size = ::GetEnvironmentVariableW(L"PATH", nullptr, 0);
  if (size != 0) {
    std::wstring path(size, L'\0');
    path.resize(::GetEnvironmentVariableW(L"PATH", path.data(), size));
    std::size_t begin = 0;
    while (begin <= path.size()) {
      std::size_t end = path.find(L';', begin);
      if (end == std::wstring::npos) end = path.size();
      std::wstring folder = path.substr(begin, end - begin);
      if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"') {
        folder = folder.substr(1, folder.size() - 2);
      }
      if (!folder.empty()) folders.push_back(folder);
      begin = end + 1;
    }
  }
  return folders;
}

}  // namespace

std::string findClientLibraryFile(const std::string& name) {
  const std::wstring wideName = common::widen(name);
  for (std::wstring folder : searchFolders()) {
    if (folder.empty()) continue;
    if (folder.back() != L'\\' && folder.back() != L'/') folder += L'\\';
    const std::wstring candidate = folder + wideName;
    const DWORD attributes = ::GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return common::narrow(candidate);
    }
  }
  return {};
}

// Each folder once: PATH names the system folders again on most machines.
std::vector<std::string> clientLibrarySearchFolders() {
  std::vector<std::string> folders;
  std::vector<std::wstring> seen;
  for (std::wstring folder : searchFolders()) {
    while (folder.size() > 3 && (folder.back() == L'\\' || folder.back() == L'/'))
      folder.pop_back();
    std::wstring key = folder;
    ::CharLowerBuffW(key.data(), static_cast<DWORD>(key.size()));
    if (folder.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    folders.push_back(common::narrow(folder));
  }
  return folders;
}

std::string loadedLibraryFile(void* library, ClientFunction) {
  return common::narrow(moduleFile(static_cast<HMODULE>(library)));
}

std::string libraryFileVersion(const std::string& path) {
  const std::wstring file = common::widen(path);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file.c_str(), &ignored);
  if (size == 0) return {};
  std::vector<char> data(size);
  if (!::GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
      info == nullptr || length < sizeof(VS_FIXEDFILEINFO)) {
    return {};
  }
  return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
         std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
         std::to_string(LOWORD(info->dwFileVersionLS));
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
