#pragma once

#include <filesystem>
#include <string>

namespace netupdate::cli::testing {

// Sets a variable of this process's environment, which the programs it starts
// inherit; an empty value removes it.
void setEnvironment(const std::string& name, const std::string& value);

// The tool set up as an administrator would have it, with `library` as its
// Firebird client library, in folder: on Windows a copy of the tool with the
// library beside it as fbclient.dll (none when library is empty); on Linux the
// tool itself, with the library as libfbclient.so.2 in folder and
// LD_LIBRARY_PATH pointing there. Empty when the platform cannot show it: a
// Linux machine's own client stays on the loader's path whatever we do.
std::string toolWithClientLibrary(const std::string& tool, const std::filesystem::path& folder,
                                  const std::filesystem::path& library);

}  // namespace netupdate::cli::testing
