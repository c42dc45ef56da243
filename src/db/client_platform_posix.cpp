#include <dlfcn.h>
#include <locale.h>

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
