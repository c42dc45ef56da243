#include <stdlib.h>

#include "cli/testing/check_setup.h"

namespace netupdate::cli::testing {

namespace fs = std::filesystem;

void setEnvironment(const std::string& name, const std::string& value) {
  if (value.empty()) {
    ::unsetenv(name.c_str());
  } else {
    ::setenv(name.c_str(), value.c_str(), 1);
  }
}

std::string toolWithClientLibrary(const std::string& tool, const fs::path& folder,
                                  const fs::path& library) {
  if (library.empty()) return {};
  fs::copy_file(library, folder / "libfbclient.so.2", fs::copy_options::overwrite_existing);
  setEnvironment("LD_LIBRARY_PATH", folder.string());
  return tool;
}

}  // namespace netupdate::cli::testing
