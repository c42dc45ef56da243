#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "download/test_server.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using testing::RefusingPort;
using testing::ServerConnection;
using testing::TestServer;

struct CliRun {
  int status = -1;
  std::string errors;
};

// Runs the built tool with the given arguments and collects its exit status
// and everything it wrote to stderr.
CliRun runCli(const std::vector<std::string>& args) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], STDERR_FILENO);
    std::vector<char*> argv{const_cast<char*>(NETUPDATE_CLI), const_cast<char*>("fetch")};
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(NETUPDATE_CLI, argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  CliRun run;
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    run.errors.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

class FetchCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/netupdate-fetch-XXXXXX";
    m_dir = ::mkdtemp(pattern);
  }
  void TearDown() override { fs::remove_all(m_dir); }
  std::string file(const std::string& name) const { return (m_dir / name).string(); }

  fs::path m_dir;
};

TEST_F(FetchCommandTest, FetchesEachPairOnOneClient) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) {
      connection.send("HTTP/1.1 200 OK\r\nSet-Cookie: visit=1\r\nContent-Length: 5\r\n\r\nprice");
    }
  });
  std::ofstream(file("old.html")) << "an old page that is longer";
  const CliRun run =
      runCli({server.url("/a.html"), file("old.html"), server.url("/b.html"), file("new.html")});
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.errors, "");
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
  const std::vector<Case> cases{
      {{server.url("/x"), file("a"), server.url("/y"), file("b")}, "HTTP/1.1 404 Not Found\n"},
      {{refusedUrl, file("a")}, "Socket Error # 10061\r\nConnection refused.\n"},
      {{"http://nonexistent.invalid/", file("a")}, "Socket Error # 11001\r\nHost not found.\n"},
      {{"gopher://127.0.0.1/", file("a")}, "Unknown Protocol\n"},
  };
  for (const Case& c : cases) {
    std::ofstream(file("a")) << "stale";
    const CliRun run = runCli(c.args);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, c.errors);
    // The file was truncated before the request, so no stale page survives.
    EXPECT_EQ(readFile(file("a")), "");
    EXPECT_FALSE(fs::exists(file("b")));
  }
}

TEST_F(FetchCommandTest, FileThatCannotBeCreated) {
  TestServer server([](ServerConnection& connection) {
    while (connection.readRequest()) connection.send("HTTP/1.1 204 No Content\r\n\r\n");
  });
  const std::string path = file("no/such/dir/page.html");
  const CliRun run = runCli({server.url("/"), path});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors, "Cannot create file \"" + path + "\". No such file or directory\n");
  EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(FetchCommandTest, RelativeFileNamedWithItsFullPath) {
  const std::string relative = "no-such-dir-" + m_dir.filename().string() + "/page.html";
  const CliRun run = runCli({"http://127.0.0.1/", relative});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.errors, "Cannot create file \"" + (fs::current_path() / relative).string() +
                            "\". No such file or directory\n");
}

TEST_F(FetchCommandTest, UsageErrors) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, {"http://127.0.0.1/"}, {"http://a/", "f", "http://b/"}}) {
    const CliRun run = runCli(args);
    EXPECT_EQ(run.status, 64);
    EXPECT_NE(run.errors.find("usage"), std::string::npos);
  }
}

}  // namespace
}  // namespace netupdate::download
