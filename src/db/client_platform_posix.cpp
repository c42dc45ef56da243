#include <dlfcn.h>
#include <link.h>
#include <locale.h>

#include <filesystem>
#include <system_error>

#include "db/client_platform.h"

namespace netupdate::db::detail {

std::vector<std::string> defaultClientLibraryNames() {
  return {"libfbclient.so.2", "libfbclient.so"};
}

void* openClientLibrary(const std::string& name, std::string& reason) {
  void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* error = ::dlerror();
    reason = error != nullptr ? error : name;
  }
  return library;
}

ClientFunction findClientFunction(void* library, const char* name) {
  return reinterpret_cast<ClientFunction>(::dlsym(library, name));
}

// The dynamic loader's search (LD_LIBRARY_PATH, its cache, the system
// folders, skipping libraries of the other ELF class) is only known by
// running it, so the file is named after dlopen has taken it.
std::string findClientLibraryFile(const std::string&) {
  return {};
}

std::vector<std::string> clientLibrarySearchFolders() {
  return {};
}

std::string loadedLibraryFile(void* library, ClientFunction entryPoint) {
  Dl_info info{};
  if (entryPoint != nullptr && ::dladdr(reinterpret_cast<void*>(entryPoint), &info) != 0 &&
      info.dli_fname != nullptr) {
    return info.dli_fname;
  }
  link_map* map = nullptr;
  if (::dlinfo(library, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr) {
    return map->l_name;
  }
  return {};
}

// Shared objects carry their version in the name the link points at; a
// library that is no link says nothing beyond its interface number.
std::string libraryFileVersion(const std::string& path) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  if (error) return {};
  const std::string name = target.filename().string();
  if (name == std::filesystem::path(path).filename().string()) return {};
  const std::size_t so = name.find(".so.");
  return so == std::string::npos ? std::string() : name.substr(so + 4);
}

// Names go over as they are inside the program, UTF-8: the encoding of file
// names on any current Linux, and what the command line brought in.
std::string clientText(std::string_view utf8) {
  return std::string(utf8);
}

// The client library reads the names it is given, and writes the names it
// opens, in the character set of the calling thread's locale (nl_langinfo),
// and fixes its converter at the first attach of the process. A program that
// never set a locale runs in "C", whose ASCII cannot carry a folder named
// "Könyvelés": the attach would fail with "Cannot transliterate character
// between character sets" whatever bytes were sent. So the thread's character
// set is UTF-8 while a name is handed over, and nothing else of the locale
// (numbers, messages) changes.
ClientCharsetScope::ClientCharsetScope() {
  const locale_t base = ::duplocale(::uselocale(nullptr));
  if (base == nullptr) return;
  const locale_t pinned = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", base);
  if (pinned == nullptr) {
    // No UTF-8 locale on this system: the process's own stays in force.
    ::freelocale(base);
    return;
  }
  m_previous = ::uselocale(pinned);
  m_pinned = pinned;
}

ClientCharsetScope::~ClientCharsetScope() {
  if (m_pinned == nullptr) return;
  ::uselocale(static_cast<locale_t>(m_previous));
  ::freelocale(static_cast<locale_t>(m_pinned));
}

}  // namespace netupdate::db::detail

// The Firebird engine and the ICU it loads keep caches for the life of the
// process and never free them; under LeakSanitizer (the sanitizer test build)
// they would hide real leaks of ours. Only the sanitizer runtime calls this.
extern "C" const char* __lsan_default_suppressions();
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libicuuc.so\n"
         "leak:libicui18n.so\n"
         "leak:libfbclient.so\n"
         "leak:libEngine12.so\n";
}
