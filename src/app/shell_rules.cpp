#include "app/shell_rules.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "app/platform.h"
#include "common/prices.h"

namespace netupdate::app {

namespace fs = std::filesystem;

std::string developerDatabasePath() {
  return std::string("g:\\VARKONA.WIN\\") + common::ev + "\\user\\user.fdb";
}

std::string pageLink() {
  return pageLink(std::getenv(kPageLinkVariable));
}

std::string pageLink(const char* replacement) {
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

std::string pageFileName(const std::string& programDir, const common::Date& date) {
  return programDir + pathSeparator() + common::formatDate("YYYY_MM_DD", date) + ".html";
}

fs::path pathFromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

void deleteFileIfPresent(const std::string& path) {
  const fs::path file = pathFromUtf8(path);
  std::error_code error;
  const fs::file_status status = fs::symlink_status(file, error);
  if (error || !fs::exists(status) || fs::is_directory(status)) return;
  fs::remove(file, error);
}

std::string unhandledErrorText(std::string_view message) {
  std::string text(message);
  if (!text.empty() && static_cast<unsigned char>(text.back()) > 46) text += '.';
  return text;
}

}  // namespace netupdate::app
