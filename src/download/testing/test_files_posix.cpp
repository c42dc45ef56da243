#include "download/testing/test_files.h"

namespace netupdate::download::testing {

std::string reasonFor(CreateFailure failure) {
  switch (failure) {
    case CreateFailure::MissingFolder:
      return "No such file or directory";
    case CreateFailure::FolderIsAFile:
      return "Not a directory";
    case CreateFailure::NameIsAFolder:
      return "Is a directory";
    case CreateFailure::HeldByAnotherProgram:
      break;
  }
  return "POSIX files cannot be held against others";
}

bool openInThisProcess(const fs::path& path) {
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (fs::read_symlink(entry.path(), error) == path) return true;
  }
  return false;
}

}  // namespace netupdate::download::testing
