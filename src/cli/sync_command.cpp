#include <cstdio>

#include "cli/commands.h"

namespace netupdate::cli {

int syncCommand(const std::vector<std::string>&) {
  std::fputs("netupdate-cli: sync is not built yet\n", stderr);
  return kUsageError;
}

}  // namespace netupdate::cli
