#include "download/testing/test_files.h"

#include <cstdlib>
#include <fstream>
#include <map>
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

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : value;
}

std::string renumberedAccessLog(const std::string& log) {
  std::map<std::string, int> numbers;
  std::istringstream lines(log);
  std::string out;
  for (std::string line; std::getline(lines, line);) {
    if (line.find(std::string(" ") + kEndOfTestPath + " ") != std::string::npos) continue;
    const std::size_t blank = line.find(' ');
    const std::string connection = line.substr(0, blank);
    const auto found = numbers.try_emplace(connection, static_cast<int>(numbers.size()) + 1).first;
    out += std::to_string(found->second) + line.substr(blank) + "\n";
  }
  return out;
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
