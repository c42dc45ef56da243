#include <sys/stat.h>

#include <gtest/gtest.h>

#include "download/file_sink.h"
#include "download/testing/test_files.h"

namespace netupdate::download {
namespace {

using testing::TempDirectory;

TEST(FileSinkTest, PageFileIsOpenToOthersAsTheUmaskAllows) {
  TempDirectory directory;
  const std::string page = directory.file("page.html");
  const mode_t previous = ::umask(0);
  FileSink::create(page).close();
  ::umask(previous);
  struct stat status {};
  ASSERT_EQ(::stat(page.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0666u);
}

}  // namespace
}  // namespace netupdate::download
