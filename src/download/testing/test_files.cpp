#include "download/testing/test_files.h"

#include <fstream>
#include <random>
#include <sstream>
#include <system_error>

namespace netupdate::download::testing {

std::string utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

fs::path fromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void writeFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
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
