#include <cstdio>

#include "cli/commands.h"

namespace netupdate::cli {

int fetchCommand(const std::vector<std::string>&) {
  std::fputs("netupdate-cli: fetch is not built yet\n", stderr);
  return kUsageError;
}

}  // namespace netupdate::cli
