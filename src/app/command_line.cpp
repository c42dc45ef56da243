#include "app/command_line.h"

#include <algorithm>
#include <utility>

namespace netupdate::app {

namespace {

bool isSeparator(char c) {
  const auto code = static_cast<unsigned char>(c);
  return code >= 1 && code <= 32;
}

}  // namespace

std::vector<std::string> splitCommandLine(std::string_view line) {
  line = line.substr(0, std::min(line.find('\0'), line.size()));
  std::vector<std::string> result;
  std::size_t pos = 0;
  for (;;) {
    // Separators and leading quote pairs may alternate ("" "" x): all of it
    // is space between arguments.
    for (;;) {
      while (pos < line.size() && isSeparator(line[pos])) ++pos;
      if (line.compare(pos, 2, "\"\"") != 0) break;
      pos += 2;
    }
    if (pos >= line.size()) break;

    std::string argument;
    bool quoted = false;
    for (; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && isSeparator(c)) {
        break;
      } else {
        argument += c;
      }
    }
    // Only a lone quote at the very end of the line gets here empty; it
    // takes no position either.
    if (!argument.empty() || result.empty()) result.push_back(std::move(argument));
  }
  return result;
}

CommandLine::CommandLine(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

CommandLine CommandLine::fromRawLine(std::string_view line) {
  return fromArguments(splitCommandLine(line));
}

CommandLine CommandLine::fromArgv(int argc, const char* const* argv) {
  std::vector<std::string> all;
  for (int i = 0; i < argc; ++i) all.emplace_back(argv[i] != nullptr ? argv[i] : "");
  return fromArguments(std::move(all));
}

CommandLine CommandLine::fromArguments(std::vector<std::string> programAndArguments) {
  std::vector<std::string> arguments;
  for (std::size_t i = 1; i < programAndArguments.size(); ++i) {
    if (!programAndArguments[i].empty()) arguments.push_back(std::move(programAndArguments[i]));
  }
  return CommandLine(std::move(arguments));
}

int CommandLine::count() const {
  return static_cast<int>(m_arguments.size());
}

std::string CommandLine::argument(int i) const {
  if (i < 1 || i > count()) return {};
  return m_arguments[static_cast<std::size_t>(i - 1)];
}

}  // namespace netupdate::app
