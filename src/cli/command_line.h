#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace netupdate::cli {

// One command's arguments, read the same way for every command: options may
// stand anywhere among the other arguments, a single dash begins no option,
// "--" ends them (for a password that begins with two dashes), "--name
// value" and "--name=value" both work, and whatever is wrong is told with
// the command's usage and exit status 64.
class CommandLine {
 public:
  // usage: the command's usage lines, each ending in a line break.
  CommandLine(std::string command, std::string usage);
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  void flag(const std::string& name, bool& value);
  // An option with a value; given twice, the later one counts.
  void option(const std::string& name, std::optional<std::string>& value);
  // Every argument that is not an option, in order.
  void positionals(std::vector<std::string>& values);

  // Reads args into the bound values. Returns an exit status when the
  // command must not go on: 0 once the usage asked for with --help is
  // printed, kUsageError once the problem and the usage are.
  std::optional<int> parse(const std::vector<std::string>& args);

  // For what the command itself finds wrong with the values read: prints
  // the problem and the usage, returns kUsageError.
  int usageError(const std::string& problem) const;

 private:
  // nullopt when the last argument is an option that lacks its value.
  std::optional<std::vector<std::string>> optionsFirst(const std::vector<std::string>& args) const;

  std::string m_command;
  std::string m_usage;
  std::unique_ptr<CLI::App> m_app;
  std::vector<std::string> m_valueOptions;
};

}  // namespace netupdate::cli
