#include "app/testing/temp_working_dir.h"

#include <random>
#include <string>
#include <system_error>

namespace netupdate::app {

namespace fs = std::filesystem;

TempWorkingDirectory::TempWorkingDirectory() : m_previous(fs::current_path()) {
  // A random name keeps test processes that run side by side apart without
  // asking the platform for a process id.
  std::random_device random;
  const fs::path base = fs::temp_directory_path();
  do {
    m_path = base / ("netupdate-" + std::to_string(random()) + "-" + std::to_string(random()));
  } while (!fs::create_directory(m_path));
  fs::current_path(m_path);
}

TempWorkingDirectory::~TempWorkingDirectory() {
  std::error_code error;
  fs::current_path(m_previous, error);
  fs::remove_all(m_path, error);
}

}  // namespace netupdate::app
