#include "cli/console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "cli/terminal_ui.h"

namespace netupdate::cli {
namespace {

namespace fs = std::filesystem;

TEST(TerminalLines, EachLineOfADialogGetsThePrefix) {
  const struct {
    const char* text;
    const char* expected;
  } cases[] = {
      {"one", "> one\n"},
      {"Socket Error # 11001\r\nHost not found.", "> Socket Error # 11001\n> Host not found.\n"},
      {"first\r\rsecond\n", "> first\n> second\n"},
      {"Hiba történt:\r\n\r\nhttp://x/\r\n\r\nHibaüzenet: ok",
       "> Hiba történt:\n> http://x/\n> Hibaüzenet: ok\n"},
      {"", "> \n"},
      {"a page's \x1b]0;title\x07 and \x7f\tend", "> a page's ?]0;title? and ?\tend\n"},
      {"\r\n", "> \n"},
  };
  for (const auto& c : cases) EXPECT_EQ(terminalLines("> ", c.text), c.expected) << c.text;
}

// Redirected to a file or a pipe, the output is the UTF-8 bytes, line ends
// untouched, in the order written, whichever way it was written.
TEST(WriteText, FileGetsTheUtf8BytesInOrder) {
  std::random_device random;
  const fs::path path = fs::temp_directory_path() / ("console_test." + std::to_string(random()));
  std::FILE* file = std::fopen(path.string().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("Hónap\r\n", file);
  writeText(file, "Január 366 \xC5\x91\n");
  std::fputs("end", file);
  std::fclose(file);
  std::ifstream in(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  in.close();
  fs::remove(path);
  EXPECT_EQ(bytes, "Hónap\r\nJanuár 366 ő\nend");
}

}  // namespace
}  // namespace netupdate::cli
