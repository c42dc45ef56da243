#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "common/error.h"
#include "common/wide_text.h"
#include "download/file_sink.h"
#include "download/testing/test_files.h"

namespace netupdate::download {
namespace {

using testing::CreateFailure;
using testing::reasonFor;
using testing::TempDirectory;

// An editor that opened the page file without sharing it keeps us out; the
// user is told so in the system's words.
TEST(FileSinkTest, PageFileHeldByAnotherProgram) {
  TempDirectory directory;
  const std::string page = directory.file("2018_03_01.html");
  std::ofstream(testing::fromUtf8(page)) << "old page";
  const HANDLE editor = ::CreateFileW(common::widen(page).c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(editor, INVALID_HANDLE_VALUE);
  try {
    FileSink::create(page);
    ADD_FAILURE() << "created a file another program holds";
  } catch (const common::Error& error) {
    EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + page + "\". " +
                                             reasonFor(CreateFailure::HeldByAnotherProgram));
  }
  ::CloseHandle(editor);
}

// The message names the file as Windows does: drive, backslashes, no dots.
TEST(FileSinkTest, FullPathInWindowsForm) {
  TempDirectory directory;
  const std::string base = testing::utf8(directory.path());
  EXPECT_EQ(fullPath(base + "/sub/../gone/./page.html"), base + "\\gone\\page.html");
  EXPECT_EQ(fullPath("C:/Users/Könyvelés/page.html"), "C:\\Users\\Könyvelés\\page.html");
}

TEST(FileSinkTest, AccentedNamesAreCreatedAsGiven) {
  TempDirectory directory;
  const std::string folder = directory.file("Könyvelés");
  ASSERT_TRUE(::CreateDirectoryW(common::widen(folder).c_str(), nullptr));
  FileSink sink = FileSink::create(folder + "\\árak_ő.html");
  sink.write("ok", 2);
  sink.close();
  EXPECT_EQ(::GetFileAttributesW(common::widen(folder + "\\árak_ő.html").c_str()) &
                FILE_ATTRIBUTE_DIRECTORY,
            0u);
}

}  // namespace
}  // namespace netupdate::download
