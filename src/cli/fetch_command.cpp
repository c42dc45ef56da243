#include <optional>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/commands.h"
#include "cli/console.h"
#include "common/error.h"
#include "download/file_sink.h"
#include "download/http_client.h"

namespace netupdate::cli {

namespace {

constexpr int kFetchFailed = 1;
constexpr int kFileNotCreated = 2;

void printMessage(const std::string& message) {
  writeText(stderr, message + "\n");
}

}  // namespace

// One client for all pairs, so a later fetch sees the cookies and the kept
// connection of the earlier ones, as repeated downloads in the window do.
int fetchCommand(const std::vector<std::string>& arguments) {
  CommandLine commandLine("fetch", "usage: netupdate-cli fetch URL FILE [URL FILE ...]\n");
  std::vector<std::string> args;
  commandLine.positionals(args);
  if (const std::optional<int> status = commandLine.parse(arguments)) return *status;
  if (args.empty() || args.size() % 2 != 0) {
    return commandLine.usageError("expected URL FILE pairs");
  }
  download::THttpClient client;
  for (std::size_t i = 0; i < args.size(); i += 2) {
    const std::string& url = args[i];
    const std::string& path = args[i + 1];
    std::optional<download::FileSink> file;
    try {
      file.emplace(download::FileSink::create(path));
    } catch (const common::Error& error) {
      printMessage(error.what());
      return kFileNotCreated;
    }
    try {
      client.Get(url, *file);
      file->close();
    } catch (const common::Error& error) {
      printMessage(error.what());
      return kFetchFailed;
    }
  }
  return 0;
}

}  // namespace netupdate::cli
