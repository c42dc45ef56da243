#include "app/shell_rules.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "common/prices.h"

namespace netupdate::app {

namespace fs = std::filesystem;

std::string developerDatabasePath() {
  return std::string("g:\\VARKONA.WIN\\") + common::ev + "\\user\\user.fdb";
}

std::string pageLink() {
  const char* replacement = std::getenv(kPageLinkVariable);
  if (replacement != nullptr && *replacement != '\0') return replacement;
  return kPageLink;
}

std::string startUpMessage(int argumentCount) {
  if (argumentCount >= 3) return {};
  if (argumentCount == 0) return "A program csak az ZEPA programból indítható!";
  return "A program nem megfelő paraméterekkel lett indítva!";
}

bool developerMarkerPresent() {
  std::error_code error;
  return fs::is_regular_file(kDeveloperMarker, error);
}

std::string joinServer(const std::string& server, const std::string& adatbazis) {
  if (server.empty()) return adatbazis;
  return server + ":" + adatbazis;
}

std::string currentDirectory() {
  std::error_code error;
  fs::path path = fs::current_path(error);
  if (error || path.empty()) return ".";
  return path.string();
}

common::Date today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string pageFileName(const std::string& programDir, const common::Date& date) {
  return programDir + "/" + common::formatDate("YYYY_MM_DD", date) + ".html";
}

void deleteFileIfPresent(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (error || !fs::exists(status) || fs::is_directory(status)) return;
  fs::remove(path, error);
}

std::string unhandledErrorText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > 46) text += '.';
  return text;
}

}  // namespace netupdate::app
