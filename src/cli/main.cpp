#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/console.h"

namespace {

constexpr const char* kUsage =
    "usage: netupdate-cli parse FILE [--json]\n"
    "       netupdate-cli fetch URL FILE [URL FILE ...]\n"
    "       netupdate-cli sync DATABASE USER PASSWORD [SERVER] --page FILE\n"
    "                          [--answer yes|no] [--dry-run]\n"
    "       netupdate-cli sync DATABASE USER PASSWORD [SERVER] --nav YEAR | --nav-page FILE\n"
    "                          [--pricing capped|market] [--answer yes|no] [--dry-run]\n"
    "       netupdate-cli check [DATABASE USER PASSWORD [SERVER]] [--json] [--no-network]\n"
    "                           [--nav YEAR]\n"
    "       netupdate-cli nav YEAR [--json] [--save FILE]\n"
    "       netupdate-cli nav --page FILE [--json]\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace netupdate::cli;
  useBinaryStandardStreams();
  const std::vector<std::string> arguments = programArguments(argc, argv);
  if (arguments.size() < 2) {
    writeText(stderr, kUsage);
    return kUsageError;
  }
  const std::string& command = arguments[1];
  // Asked for, the usage is the answer, not a complaint.
  if (command == "-h" || command == "--help") {
    writeText(stdout, kUsage);
    return 0;
  }
  const std::vector<std::string> args(arguments.begin() + 2, arguments.end());
  try {
    if (command == "parse") return parseCommand(args);
    if (command == "fetch") return fetchCommand(args);
    if (command == "sync") return syncCommand(args);
    if (command == "check") return checkCommand(args);
    if (command == "nav") return navCommand(args);
  } catch (const std::exception& error) {
    writeText(stderr, std::string("netupdate-cli: ") + error.what() + "\n");
    return 70;
  }
  writeText(stderr, "netupdate-cli: unknown command \"" + command + "\"\n" + kUsage);
  return kUsageError;
}
