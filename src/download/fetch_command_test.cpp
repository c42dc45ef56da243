#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/testing/run_program.h"
#include "download/testing/test_files.h"
#include "download/testing/test_server.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using cli::testing::ProgramRun;
using testing::CreateFailure;
using testing::reasonFor;
using testing::RefusingPort;
using testing::ServerConnection;
using testing::TempDirectory;
using testing::TestServer;
using testing::utf8;

// Runs the built tool's fetch command with the given arguments.
ProgramRun runCli(const std::vector<std::string>& args) {
  std::vector<std::string> all{"fetch"};
  all.insert(all.end(), args.begin(), args.end());
  return cli::testing::runProgram(NETUPDATE_CLI, all);
}

std::string readFile(const std::string& path) {
  std::ifstream in(testing::fromUtf8(path), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

class FetchCommandTest : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return m_dir.file(name); }

  TempDirectory m_dir{"netupdate-fetch"};
};

TEST_F(FetchCommandTest, FetchesEachPairOnOneClient) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 200 OK\r\nSet-Cookie: visit=1\r\nContent-Length: 5\r\n\r\nprice");
    }
  });
  std::ofstream(testing::fromUtf8(file("old.html"))) << "an old page that is longer";
  const ProgramRun run =
      runCli({server.url("/a.html"), file("old.html"), server.url("/b.html"), file("new.html")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(readFile(file("old.html")), "price");
  EXPECT_EQ(readFile(file("new.html")), "price");
  server.waitForHandlers();
  EXPECT_EQ(server.connectionCount(), 1);
  ASSERT_EQ(server.requests().size(), 2u);
  EXPECT_NE(server.requests()[1].find("\r\nCookie: visit=1\r\n"), std::string::npos);
}

TEST_F(FetchCommandTest, FirstFailureEndsTheRunWithItsMessage) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone");
    }
  });
  RefusingPort refusing;
  const std::string refusedUrl = "http://127.0.0.1:" + std::to_string(refusing.port) + "/";
  struct Case {
    std::vector<std::string> args;
    std::string errors;
  };
  // The socket errors read the same wherever their codes come from.
  const std::vector<Case> cases{
      {{server.url("/x"), file("a"), server.url("/y"), file("b")}, "HTTP/1.1 404 Not Found\n"},
      {{refusedUrl, file("a")}, "Socket Error # 10061\r\nConnection refused.\n"},
      {{"http://nonexistent.invalid/", file("a")}, "Socket Error # 11001\r\nHost not found.\n"},
      {{"gopher://127.0.0.1/", file("a")}, "Unknown Protocol\n"},
  };
  for (const Case& c : cases) {
    std::ofstream(testing::fromUtf8(file("a"))) << "stale";
    const ProgramRun run = runCli(c.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, c.errors);
    // The file was truncated before the request, so no stale page survives.
    EXPECT_EQ(readFile(file("a")), "");
    EXPECT_FALSE(fs::exists(testing::fromUtf8(file("b"))));
  }
}

TEST_F(FetchCommandTest, FileThatCannotBeCreated) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) connection.send("HTTP/1.1 204 No Content\r\n\r\n");
  });
  const std::string path = file("no/such/dir/page.html");
  const ProgramRun run = runCli({server.url("/"), path});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Cannot create file \"" + utf8(testing::fromUtf8(path).make_preferred()) +
                         "\". " + reasonFor(CreateFailure::MissingFolder) + "\n");
  EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(FetchCommandTest, RelativeFileNamedWithItsFullPath) {
  const std::string relative = "no-such-dir-" + utf8(m_dir.path().filename()) + "/page.html";
  const ProgramRun run = runCli({"http://127.0.0.1/", relative});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err, "Cannot create file \"" +
                         utf8(fs::absolute(testing::fromUtf8(relative)).make_preferred()) + "\". " +
                         reasonFor(CreateFailure::MissingFolder) + "\n");
}

// Hungarian names with blanks reach the tool whole, through the command line and back
// out in its messages.
TEST_F(FetchCommandTest, AccentedFileNames) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nprice");
    }
  });
  fs::create_directory(testing::fromUtf8(file("Könyvelés 2018")));
  const ProgramRun run = runCli({server.url("/"), file("Könyvelés 2018/árak ő.html")});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(readFile(file("Könyvelés 2018/árak ő.html")), "price");

  const std::string missing = file("Számlák 2018/árak.html");
  const ProgramRun failed = runCli({server.url("/"), missing});
  EXPECT_EQ(failed.status, 2);
  EXPECT_EQ(failed.err, "Cannot create file \"" +
                            utf8(testing::fromUtf8(missing).make_preferred()) + "\". " +
                            reasonFor(CreateFailure::MissingFolder) + "\n");
}

TEST_F(FetchCommandTest, UsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"http://127.0.0.1/"}, {"http://a/", "f", "http://b/"}}) {
    const ProgramRun run = runCli(args);
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.err.find("usage"), std::string::npos);
    EXPECT_EQ(run.out, "");
  }
}

}  // namespace
}  // namespace netupdate::download
