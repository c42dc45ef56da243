#include "download/testing/test_files.h"

#include <random>
#include <system_error>

namespace netupdate::download::testing {

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path fromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

TempDirectory::TempDirectory(const std::string& prefix) {
  std::random_device random;
  do {
    m_path = fs::temp_directory_path() / (prefix + "." + std::to_string(random()));
  } while (!fs::create_directory(m_path));
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  fs::remove_all(m_path, ignored);
}

}  // namespace netupdate::download::testing
