#pragma once

// Private to the database layer: how this platform finds the Firebird client
// library and in which character set that library reads the names it is
// given. One implementation file per platform (client_platform_*.cpp).

#include <string>
#include <string_view>
#include <vector>

namespace netupdate::db::detail {

// Any entry point, before it is cast to its own type from ibase.h.
using ClientFunction = void (*)();

// The names tried when the connection was given none.
std::vector<std::string> defaultClientLibraryNames();

// Loads a library by name, for the life of the process. Returns null and
// says why in reason when it cannot be loaded.
void* openClientLibrary(const std::string& name, std::string& reason);

// Null when the library has no such entry point.
ClientFunction findClientFunction(void* library, const char* name);

// For an administrator's check: the file the loader would take for a library
// name, found without loading it (empty when it finds none, and where only
// loading can tell); the folders it looks in, in order (empty where only the
// loader knows them); the file a loaded
// library came from; and a library file's version resource (empty where
// libraries carry none).
std::string findClientLibraryFile(const std::string& name);
std::vector<std::string> clientLibrarySearchFolders();
std::string loadedLibraryFile(void* library, ClientFunction entryPoint);
std::string libraryFileVersion(const std::string& path);

// The attach string and the connection parameters (DPB values) in the
// character set the client library takes them to be in: what it considers
// the system's character set, not the attachment's. It converts them from
// there itself, for the server and for the local file system.
std::string clientText(std::string_view utf8);

// Holds what clientText relies on while a name is handed over: lives around
// every attach and create.
class ClientCharsetScope {
 public:
  ClientCharsetScope();
  ~ClientCharsetScope();
  ClientCharsetScope(const ClientCharsetScope&) = delete;
  ClientCharsetScope& operator=(const ClientCharsetScope&) = delete;

 private:
  void* m_pinned = nullptr;
  void* m_previous = nullptr;
};

}  // namespace netupdate::db::detail
