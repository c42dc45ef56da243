#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/codepage.h"
#include "db/client_platform.h"

namespace netupdate::db::detail {
namespace {

// The client library reads names in the system's real ANSI code page, also
// where the program's own texts had to fall back to Windows-1250.
TEST(ClientPlatform, NamesGoInTheSystemsAnsiCodePage) {
  struct Case {
    unsigned codePage;
    std::string name;
    std::string sent;
  };
  const Case cases[] = {
      {1252, "C:\\Könyvelés\\zepa.fdb", "C:\\K\xF6nyvel\xE9s\\zepa.fdb"},
      // No look-alike "o" for the missing letter: that could be another file.
      {1252, "C:\\Győr\\zepa.fdb", "C:\\Gy?r\\zepa.fdb"},
      {1250, "C:\\Győr\\zepa.fdb", "C:\\Gy\xF5r\\zepa.fdb"},
      {1250, "szerver:C:\\Könyvelés\\zepa.fdb", "szerver:C:\\K\xF6nyvel\xE9s\\zepa.fdb"},
      {932, "C:\\日本\\zepa.fdb", "C:\\\x93\xFA\x96\x7B\\zepa.fdb"},
  };
  int checked = 0;
  for (const Case& c : cases) {
    if (c.codePage != ::GetACP()) continue;
    EXPECT_EQ(clientText(c.name), c.sent) << c.name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no case for code page " << ::GetACP();
}

TEST(ClientPlatform, LibraryThatCannotLoadSaysWhy) {
  std::string reason;
  EXPECT_EQ(openClientLibrary("netupdate-no-such-fbclient.dll", reason), nullptr);
  EXPECT_EQ(reason.rfind("netupdate-no-such-fbclient.dll: ", 0), 0u) << reason;

  // A file of that name that is no library for this program, as a 32-bit
  // client beside the 64-bit program is.
  const auto fake = std::filesystem::temp_directory_path() / "netupdate-fake-fbclient.dll";
  std::ofstream(fake) << "not a library";
  reason.clear();
  EXPECT_EQ(openClientLibrary(fake.string(), reason), nullptr);
  EXPECT_NE(reason.find("-bit program can load"), std::string::npos) << reason;
  std::filesystem::remove(fake);
}

}  // namespace
}  // namespace netupdate::db::detail
