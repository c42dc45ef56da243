#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "cli/commands.h"
#include "cli/console.h"

namespace netupdate::cli {

CommandLine::CommandLine(std::string command, std::string usage)
    : m_command(std::move(command)),
      m_usage(std::move(usage)),
      m_app(std::make_unique<CLI::App>("", m_command)) {
  m_app->set_help_flag("-h,--help");
  // CLI11's default on Windows reads "/name" as an option; to this tool it
  // is a path, as a POSIX one is under Wine.
  m_app->allow_windows_style_options(false);
  // Unknown options are collected, not thrown, so they can be named in the
  // tool's own words.
  m_app->allow_extras();
}

CommandLine::~CommandLine() = default;

void CommandLine::flag(const std::string& name, bool& value) {
  m_app->add_flag(name, value);
}

void CommandLine::option(const std::string& name, std::optional<std::string>& value) {
  m_app
      ->add_option_function<std::string>(name,
                                         [&value](const std::string& given) { value = given; })
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  m_valueOptions.push_back(name);
}

void CommandLine::positionals(std::vector<std::string>& values) {
  m_app->add_option("arguments", values);
}

// The tool has only long options, so an argument with a single dash is a
// value: a password such as "-x9" reaches the command as it always has.
// The library would take it for a short option, so every option is put
// first, each value joined to its name (a value may begin with a dash too),
// and everything else after a "--", in its order.
std::optional<std::vector<std::string>> CommandLine::optionsFirst(
    const std::vector<std::string>& args) const {
  std::vector<std::string> options;
  std::vector<std::string> others;
  bool ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (ended || arg.size() < 2 || arg[0] != '-' || (arg[1] != '-' && arg != "-h")) {
      others.push_back(arg);
    } else if (arg == "--") {
      ended = true;
    } else if (std::find(m_valueOptions.begin(), m_valueOptions.end(), arg) !=
               m_valueOptions.end()) {
      if (i + 1 == args.size()) return std::nullopt;
      // Joined, an empty value would read as none.
      const std::string& value = args[++i];
      if (value.empty()) {
        options.push_back(arg);
        options.push_back(value);
      } else {
        options.push_back(arg + "=" + value);
      }
    } else {
      options.push_back(arg);
    }
  }
  options.emplace_back("--");
  options.insert(options.end(), others.begin(), others.end());
  return options;
}

std::optional<int> CommandLine::parse(const std::vector<std::string>& args) {
  const std::optional<std::vector<std::string>> ordered = optionsFirst(args);
  // An option with a value takes whatever follows it, so only the last
  // argument can lack one.
  if (!ordered) return usageError(args.back() + " needs a value");
  // The library takes the arguments last first.
  std::vector<std::string> reversed(ordered->rbegin(), ordered->rend());
  try {
    m_app->parse(reversed);
  } catch (const CLI::CallForHelp&) {
    writeText(stdout, m_usage);
    return 0;
  } catch (const CLI::ParseError& error) {
    return usageError(error.what());
  }
  for (const std::string& extra : m_app->remaining()) {
    if (extra != "--") return usageError("unknown option " + extra);
  }
  return std::nullopt;
}

int CommandLine::usageError(const std::string& problem) const {
  writeText(stderr, "netupdate-cli " + m_command + ": " + problem + "\n" + m_usage);
  return kUsageError;
}

}  // namespace netupdate::cli
