#pragma once

#include <string>
#include <vector>

namespace netupdate::cli::testing {

struct ProgramRun {
  // The exit status; -1 when the program could not be started or did not exit.
  int status = -1;
  std::string out;
  std::string err;
};

// Runs a built program with the arguments (UTF-8), nothing on its standard
// input, and collects its exit status and everything it wrote to stdout and
// stderr. For the tests of netupdate-cli; one implementation file per
// platform, since a Windows test under Wine can only start Windows programs.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace netupdate::cli::testing
