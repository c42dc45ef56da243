#include <gtest/gtest.h>

#include <filesystem>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "app/testing/temp_working_dir.h"

namespace netupdate::app {
namespace {

namespace fs = std::filesystem;

TEST(PlatformPosix, RemovedWorkingDirectoryKeepsThePageFileOutOfTheRoot) {
  const TempWorkingDirectory dir;
  EXPECT_EQ(fs::path(currentDirectory()), fs::current_path());
  fs::remove(dir.path());
  EXPECT_EQ(currentDirectory(), ".");
  EXPECT_EQ(pageFileName(currentDirectory(), {2019, 1, 17}), "./2019_01_17.html");
  deleteFileIfPresent(pageFileName(currentDirectory(), {2019, 1, 17}));
}

}  // namespace
}  // namespace netupdate::app
