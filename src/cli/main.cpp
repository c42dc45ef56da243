#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {

void printUsage() {
  std::fputs(
      "usage: netupdate-cli parse FILE [--json]\n"
      "       netupdate-cli fetch URL FILE [URL FILE ...]\n"
      "       netupdate-cli sync DATABASE USER PASSWORD [SERVER] --page FILE\n"
      "                          [--answer yes|no] [--dry-run]\n",
      stderr);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace netupdate::cli;
  if (argc < 2) {
    printUsage();
    return kUsageError;
  }
  const std::string command = argv[1];
  const std::vector<std::string> args(argv + 2, argv + argc);
  try {
    if (command == "parse") return parseCommand(args);
    if (command == "fetch") return fetchCommand(args);
    if (command == "sync") return syncCommand(args);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "netupdate-cli: %s\n", error.what());
    return 70;
  }
  if (command != "-h" && command != "--help") {
    std::fprintf(stderr, "netupdate-cli: unknown command \"%s\"\n", command.c_str());
  }
  printUsage();
  return kUsageError;
}
