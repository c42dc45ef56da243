#include "cli/console.h"

namespace netupdate::cli {

std::vector<std::string> programArguments(int argc, char** argv) {
  return {argv, argv + argc};
}

void useBinaryStandardStreams() {}

void writeText(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace netupdate::cli
