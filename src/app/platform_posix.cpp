#include "app/platform.h"

#include <ctime>
#include <filesystem>
#include <system_error>

namespace netupdate::app {

std::string currentDirectory() {
  std::error_code error;
  const std::filesystem::path path = std::filesystem::current_path(error);
  if (error || path.empty()) return ".";
  // File names are bytes here, and the stages take them as UTF-8.
  return path.string();
}

common::Date today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

char pathSeparator() {
  return '/';
}

}  // namespace netupdate::app
