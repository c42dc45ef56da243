#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/format_settings.h"

namespace netupdate::app {

inline constexpr const char* kWindowCaption = "NAV üzemanyagár letöltő";

// Caption of the report of unhandled errors.
inline constexpr const char* kApplicationTitle = "NAV üzemanyagár netupdate";

// Its presence in the working directory switches developer mode on.
inline constexpr const char* kDeveloperMarker = "debugfq.txt";

inline constexpr const char* kPageLink =
    "http://www.nav.gov.hu/nav/archiv/szolgaltatasok/uzemanyag_elszamolas/"
    "2018_uzemanyagarak.html";

// Lets tests and diagnostics point the download at another server; nothing
// else about the run can be configured.
inline constexpr const char* kPageLinkVariable = "NETUPDATE_PAGE_URL";

inline constexpr const char* kDeveloperUser = "SYSDBA";
inline constexpr const char* kDeveloperPassword = "k";

// The developer's own database; handed to the database layer unchanged on
// every platform, Windows path and all.
std::string developerDatabasePath();

// `link`: kPageLink unless kPageLinkVariable holds a non-empty address.
std::string pageLink();

// The same choice for a given value of the variable (null when it is unset).
std::string pageLink(const char* replacement);

// The error text for a command line the host application would never give
// us, or empty text when the count is enough.
std::string startUpMessage(int argumentCount);

// A directory of the marker's name does not count; neither does anything we
// cannot look at.
bool developerMarkerPresent();

// The server-qualified path the database client expects; a local database
// keeps its path.
std::string joinServer(const std::string& server, const std::string& adatbazis);

// Always adds the platform's separator, even after one that ends programDir.
std::string pageFileName(const std::string& programDir, const common::Date& date);

// Our paths are UTF-8 text on every platform; a narrow path would be read in
// the ANSI code page on Windows.
std::filesystem::path pathFromUtf8(const std::string& text);

// A leftover page file goes; a directory of that name, or a failure to
// delete, is left alone without a word.
void deleteFileIfPresent(const std::string& path);

// The text of the report of an unhandled error: a "." is added unless the
// text is empty or already ends in a character coded 46 (".") or lower.
std::string unhandledErrorText(std::string_view message);

}  // namespace netupdate::app
