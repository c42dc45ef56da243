#include <windows.h>

#include "cli/testing/check_setup.h"
#include "common/wide_text.h"

namespace netupdate::cli::testing {

namespace fs = std::filesystem;

void setEnvironment(const std::string& name, const std::string& value) {
  ::SetEnvironmentVariableW(common::widen(name).c_str(),
                            value.empty() ? nullptr : common::widen(value).c_str());
}

// Windows looks in the program's own folder first, so the copy finds the
// library beside it and nothing of the test's own folder.
std::string toolWithClientLibrary(const std::string& tool, const fs::path& folder,
                                  const fs::path& library) {
  const fs::path source(common::widen(tool));
  const fs::path copy = folder / source.filename();
  fs::copy_file(source, copy, fs::copy_options::overwrite_existing);
  if (!library.empty()) {
    fs::copy_file(library, folder / "fbclient.dll", fs::copy_options::overwrite_existing);
  }
  return common::narrow(copy.wstring());
}

}  // namespace netupdate::cli::testing
