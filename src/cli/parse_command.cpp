#include <cstdio>

#include "cli/commands.h"

namespace netupdate::cli {

int parseCommand(const std::vector<std::string>&) {
  std::fputs("netupdate-cli: parse is not built yet\n", stderr);
  return kUsageError;
}

}  // namespace netupdate::cli
