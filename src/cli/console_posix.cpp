#include "cli/console.h"

#include <filesystem>
#include <system_error>

namespace netupdate::cli {

std::vector<std::string> programArguments(int argc, char** argv) {
  return {argv, argv + argc};
}

std::string programPath() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

void useBinaryStandardStreams() {}

void writeText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace netupdate::cli
