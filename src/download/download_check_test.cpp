#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "download/download_check.h"
#include "download/testing/test_files.h"
#include "download/testing/test_server.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using testing::CreateFailure;
using testing::fromUtf8;
using testing::reasonFor;
using testing::RefusingPort;
using testing::ServerConnection;
using testing::TempDirectory;
using testing::TestServer;
using testing::utf8;

std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    names.insert(utf8(entry.path().filename()));
  return names;
}

std::string contentOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The probe may create and remove, never touch what was there before.
TEST(PageFileProbe, LeavesTheFolderAsItFoundIt) {
  TempDirectory dir("netupdate-probe");
  std::ofstream(dir.path() / "taken.html") << "the page of an earlier run";
  std::ofstream(dir.path() / "taken.html.1") << "and another";
  fs::create_directory(dir.path() / "a-file");
  std::ofstream(dir.path() / "not-a-folder") << "x";
  const std::set<std::string> before = namesIn(dir.path());

  const struct {
    std::string page;
    bool ok;
    std::string used;  // the file created and removed, when ok
    std::string error;
  } cases[] = {
      {dir.file("2018_03_01.html"), true, dir.file("2018_03_01.html"), ""},
      {dir.file("taken.html"), true, dir.file("taken.html.2"), ""},
      {dir.file("not-a-folder/2018_03_01.html"), false, "",
       "Cannot create file \"" +
           utf8(fromUtf8(dir.file("not-a-folder/2018_03_01.html")).make_preferred()) + "\". " +
           reasonFor(CreateFailure::FolderIsAFile)},
      {dir.file("missing/2018_03_01.html"), false, "",
       "Cannot create file \"" +
           utf8(fromUtf8(dir.file("missing/2018_03_01.html")).make_preferred()) + "\". " +
           reasonFor(CreateFailure::MissingFolder)},
  };
  for (const auto& c : cases) {
    const PageFileProbe probe = probePageFile(c.page);
    EXPECT_EQ(probe.ok, c.ok) << c.page << ": " << probe.error;
    if (c.ok) {
      EXPECT_EQ(probe.path, c.used);
    }
    EXPECT_EQ(probe.error, c.error);
    EXPECT_EQ(namesIn(dir.path()), before) << c.page;
  }
  EXPECT_EQ(contentOf(dir.path() / "taken.html"), "the page of an earlier run");
  EXPECT_EQ(contentOf(dir.path() / "taken.html.1"), "and another");
}

TEST(PageAddressProbe, StatusLineAndSizeOrTheClientsMessage) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nprice");
    }
  });
  TestServer missing([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
    }
  });
  RefusingPort refusing;
  const struct {
    std::string url;
    bool ok;
    std::string statusLine;
    std::size_t size;
    std::string error;
  } cases[] = {
      {server.url("/page.html"), true, "HTTP/1.1 200 OK", 5, ""},
      {missing.url("/page.html"), false, "HTTP/1.1 404 Not Found", 0, "HTTP/1.1 404 Not Found"},
      {"http://127.0.0.1:" + std::to_string(refusing.port) + "/", false, "", 0,
       "Socket Error # 10061\r\nConnection refused."},
  };
  for (const auto& c : cases) {
    const PageAddressProbe probe = probePageAddress(c.url);
    EXPECT_EQ(probe.ok, c.ok) << c.url;
    EXPECT_EQ(probe.statusLine, c.statusLine) << c.url;
    EXPECT_EQ(probe.size, c.size) << c.url;
    EXPECT_EQ(probe.error, c.error) << c.url;
  }
}

}  // namespace
}  // namespace netupdate::download
