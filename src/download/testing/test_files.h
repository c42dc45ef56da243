#pragma once

#include <filesystem>
#include <string>

namespace netupdate::download::testing {

namespace fs = std::filesystem;

// The program's paths are UTF-8 on every platform; std::filesystem's string()
// would give the ANSI code page on Windows.
std::string utf8(const fs::path& path);
fs::path fromUtf8(const std::string& text);

// Whole files in binary, for the servers' folders and logs; the folders a
// written file needs are made first.
std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, const std::string& content);

// An environment variable's value; empty when it is not set.
std::string environment(const char* name);

// The request a test makes last, on a connection of its own, so that every
// earlier request of the test is in nginx's access log.
inline constexpr const char* kEndOfTestPath = "/netupdate-end-of-test";

// An access log whose lines begin with nginx's connection serial, with the
// connections numbered from 1 in the order they first appear and the
// end-of-test request left out.
std::string renumberedAccessLog(const std::string& log);

// A fresh folder for one test, removed with everything in it afterwards.
class TempDirectory {
 public:
  explicit TempDirectory(const std::string& prefix = "netupdate_test");
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const fs::path& path() const { return m_path; }
  // A name inside the folder, as the program is given it (UTF-8).
  std::string file(const std::string& name) const { return utf8(m_path / fromUtf8(name)); }

 private:
  fs::path m_path;
};

// Why the page file could not be created, in the words of the platform.
// These live in the platform files of the test support.
enum class CreateFailure { MissingFolder, FolderIsAFile, NameIsAFolder, HeldByAnotherProgram };
std::string reasonFor(CreateFailure failure);

// True while this process holds the file open.
bool openInThisProcess(const fs::path& path);

}  // namespace netupdate::download::testing
