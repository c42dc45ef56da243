#pragma once

#include <filesystem>

namespace netupdate::app {

// A fresh directory under the system's temporary directory, the working
// directory for as long as this lives; afterwards the previous one is back
// and the directory is gone with everything in it.
class TempWorkingDirectory {
 public:
  TempWorkingDirectory();
  ~TempWorkingDirectory();

  TempWorkingDirectory(const TempWorkingDirectory&) = delete;
  TempWorkingDirectory& operator=(const TempWorkingDirectory&) = delete;

  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_previous;
  std::filesystem::path m_path;
};

}  // namespace netupdate::app
