#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace netupdate::app {

// Splits a whole command line the way the host application's launcher
// expects: codes 1..32 separate, double quotes group and are dropped, a
// backslash is an ordinary character, and a pair of quotes at the start of an
// argument is skipped, so an empty argument takes no position. The first
// element is the program name. A NUL ends the line, as it does for a C string.
std::vector<std::string> splitCommandLine(std::string_view line);

// The arguments the host started us with, counted as it counts them.
class CommandLine {
 public:
  CommandLine() = default;

  // Windows hands the program one raw line.
  static CommandLine fromRawLine(std::string_view line);

  // Linux has already split it, so only the effect of the rule is left to
  // keep: an empty argument takes no position.
  static CommandLine fromArgv(int argc, const char* const* argv);

  static CommandLine fromArguments(std::vector<std::string> programAndArguments);

  // Arguments after the program name.
  int count() const;

  // Argument i from 1; empty text when there are fewer than i.
  std::string argument(int i) const;

 private:
  explicit CommandLine(std::vector<std::string> arguments);

  // Without the program name, empty ones already dropped.
  std::vector<std::string> m_arguments;
};

}  // namespace netupdate::app
