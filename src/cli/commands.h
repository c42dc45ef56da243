#pragma once

#include <string>
#include <vector>

namespace netupdate::cli {

// Exit status of a wrong command line, as sysexits.h has it.
inline constexpr int kUsageError = 64;

// Each takes the arguments after its own name and returns the exit status.
int parseCommand(const std::vector<std::string>& args);
int fetchCommand(const std::vector<std::string>& args);
int syncCommand(const std::vector<std::string>& args);
int checkCommand(const std::vector<std::string>& args);
int navCommand(const std::vector<std::string>& args);

}  // namespace netupdate::cli
