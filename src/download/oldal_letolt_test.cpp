#include "download/oldal_letolt.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/error.h"
#include "download/file_sink.h"
#include "download/testing/test_files.h"
#include "download/testing/test_server.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using testing::CreateFailure;
using testing::openInThisProcess;
using testing::reasonFor;
using testing::RefusingPort;
using testing::ServerConnection;
using testing::TempDirectory;
using testing::TestServer;
using testing::utf8;

class RecordingUserInterface : public common::UserInterface {
 public:
  void showError(const std::string& message) override { errors.push_back(message); }
  common::DialogResult confirm(const std::string& message) override {
    questions.push_back(message);
    return common::DialogResult::No;
  }
  void requestClose() override { ++closeRequests; }

  std::vector<std::string> errors;
  std::vector<std::string> questions;
  int closeRequests = 0;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

const std::string kDialogHead = "Hiba történt a weboldal megnyitása közben:\r\n\r\n";

// Every byte value, line ends of all kinds and a NUL: the page must arrive
// exactly as sent, with no text conversion anywhere.
std::string everyByte() {
  std::string bytes = "<html>\r\n\xE1rak\n\r";
  for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
  return bytes;
}

template <class Case>
std::string caseName(const ::testing::TestParamInfo<Case>& param) {
  return param.param.name;
}

enum class End { KeepOpen, Reset };

struct PageCase {
  const char* name;
  std::string response;
  End end;
  bool result;
  std::string lastDialogLine;  // after "Hibaüzenet: "; unused when result is true
  std::string pageFile;
};

void PrintTo(const PageCase& c, std::ostream* out) {
  *out << c.name;
}

class PageFileTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageFileTest, FileAndResultMatchTheOutcome) {
  const PageCase& c = GetParam();
  if (c.end == End::Reset && !c.pageFile.empty() && !testing::unreadDataSurvivesReset()) {
    GTEST_SKIP() << "a reset right behind the data: only where unread data survives a reset "
                    "(not on Windows)";
  }
  TestServer server([&c](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send(c.response);
    if (c.end == End::Reset) {
      connection.reset();
    } else {
      connection.waitForClientClose();
    }
  });
  TempDirectory directory;
  const fs::path page = directory.path() / "2018_03_01.html";
  // What an earlier run left behind must never survive into this one.
  writeFile(page, std::string(50000, 'o'));
  THttpClient client;
  client.RedirectBodyWait = 50;
  RecordingUserInterface ui;
  const std::string link = server.url("/nav/2018_uzemanyagarak.html");

  EXPECT_EQ(OldalLetolt(client, link, utf8(page), ui), c.result);

  EXPECT_EQ(readFile(page), c.pageFile);
  // A handle still open on the page file after the stage returned would keep
  // the run sequence's delete from freeing it on Windows, and leak everywhere.
  EXPECT_FALSE(openInThisProcess(page));
  EXPECT_EQ(server.requests().size(), 1u);
  EXPECT_TRUE(ui.questions.empty());
  EXPECT_EQ(ui.closeRequests, 0);
  if (c.result) {
    EXPECT_TRUE(ui.errors.empty());
  } else {
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0], kDialogHead + link + "\r\n\r\nHibaüzenet: " + c.lastDialogLine);
  }
}

const std::string kPart(20000, 'p');

INSTANTIATE_TEST_SUITE_P(
    Outcomes, PageFileTest,
    ::testing::Values(
        PageCase{"SuccessByteForByte",
                 "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(everyByte().size()) +
                     "\r\n\r\n" + everyByte(),
                 End::KeepOpen, true, "", everyByte()},
        PageCase{"CompressedBodyStoredAsSent",
                 "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Type: text/html; "
                 "charset=utf-8\r\nContent-Length: 4\r\n\r\n" +
                     std::string("\x1F\x8B\x08\x00", 4),
                 End::KeepOpen, true, "", std::string("\x1F\x8B\x08\x00", 4)},
        PageCase{"NotFoundLeavesEmptyFile",
                 "HTTP/1.1 404 Not Found\r\nContent-Length: 10\r\n\r\nerror page", End::KeepOpen,
                 false, "HTTP/1.1 404 Not Found", ""},
        PageCase{"RedirectNotFollowed",
                 "HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:1/\r\n"
                 "Content-Length: 5\r\n\r\nmoved",
                 End::KeepOpen, false, "HTTP/1.1 301 Moved Permanently", ""},
        PageCase{"ResetBeforeHead", "", End::Reset, false,
                 "Socket Error # 10054\r\nConnection reset by peer.", ""},
        PageCase{"ResetMidBodyKeepsWhatArrived",
                 "HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + kPart, End::Reset, false,
                 "Socket Error # 10054\r\nConnection reset by peer.", kPart}),
    caseName<PageCase>);

struct NoServerCase {
  const char* name;
  std::string link;
  std::string lastDialogLine;
};

void PrintTo(const NoServerCase& c, std::ostream* out) {
  *out << c.name;
}

class NoServerTest : public ::testing::TestWithParam<NoServerCase> {};

TEST_P(NoServerTest, DialogEndsWithTheSocketErrorAndFileIsEmpty) {
  RefusingPort refusing;
  std::string link = GetParam().link;
  if (const auto at = link.find("{port}"); at != std::string::npos) {
    link.replace(at, 6, std::to_string(refusing.port));
  }
  TempDirectory directory;
  const fs::path page = directory.path() / "page.html";
  writeFile(page, "left over");
  THttpClient client;
  RecordingUserInterface ui;

  EXPECT_FALSE(OldalLetolt(client, link, utf8(page), ui));

  EXPECT_EQ(readFile(page), "");
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], kDialogHead + link + "\r\n\r\nHibaüzenet: " + GetParam().lastDialogLine);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, NoServerTest,
    ::testing::Values(NoServerCase{"HostNotFound",
                                   "http://nonexistent.invalid/nav/2018_uzemanyagarak.html",
                                   "Socket Error # 11001\r\nHost not found."},
                      NoServerCase{"ConnectionRefused", "http://127.0.0.1:{port}/page.html",
                                   "Socket Error # 10061\r\nConnection refused."},
                      NoServerCase{"NotHttp", "ftp://127.0.0.1/page.html", "Unknown Protocol"}),
    caseName<NoServerCase>);

struct UncreatableCase {
  const char* name;
  // Relative to a fresh directory; checked as root too, where permissions don't stop us.
  std::string relativePath;
  CreateFailure failure;
};

void PrintTo(const UncreatableCase& c, std::ostream* out) {
  *out << c.name;
}

class UncreatableFileTest : public ::testing::TestWithParam<UncreatableCase> {};

TEST_P(UncreatableFileTest, ErrorReachesCallerAndNothingIsFetched) {
  TestServer server([](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
  });
  TempDirectory directory;
  writeFile(directory.path() / "plain_file", "x");
  fs::create_directory(directory.path() / "a_directory.html");
  const std::string page = directory.file(GetParam().relativePath);
  THttpClient client;
  RecordingUserInterface ui;

  try {
    OldalLetolt(client, server.url("/page.html"), page, ui);
    ADD_FAILURE() << "no error for " << page;
  } catch (const common::Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot create file \"" + fullPath(page) + "\". " + reasonFor(GetParam().failure));
  }
  EXPECT_TRUE(ui.errors.empty());
  EXPECT_EQ(server.connectionCount(), 0);
  EXPECT_EQ(readFile(directory.path() / "plain_file"), "x");
}

INSTANTIATE_TEST_SUITE_P(
    Paths, UncreatableFileTest,
    ::testing::Values(
        UncreatableCase{"MissingDirectory", "gone/2018_03_01.html", CreateFailure::MissingFolder},
        UncreatableCase{"DirectoryIsAFile", "plain_file/2018_03_01.html",
                        CreateFailure::FolderIsAFile},
        UncreatableCase{"PageNameIsADirectory", "a_directory.html", CreateFailure::NameIsAFolder}),
    caseName<UncreatableCase>);

TEST(OldalLetolt, RelativePageFileIsNamedInFullInTheError) {
  TempDirectory directory;
  const fs::path before = fs::current_path();
  fs::current_path(directory.path());
  THttpClient client;
  RecordingUserInterface ui;
  std::string message;
  try {
    OldalLetolt(client, "http://127.0.0.1:1/", "missing/page.html", ui);
  } catch (const common::Error& error) {
    message = error.what();
  }
  const fs::path expected = fs::absolute("missing/page.html").make_preferred();
  fs::current_path(before);
  EXPECT_EQ(message, "Cannot create file \"" + utf8(expected) + "\". " +
                         reasonFor(CreateFailure::MissingFolder));
}

// Someone may look at the page while it arrives: the file is shared for
// reading and writing while it is open.
TEST(OldalLetolt, PageFileIsSharedWhileItIsWritten) {
  TempDirectory directory;
  const fs::path page = directory.path() / "page.html";
  FileSink sink = FileSink::create(utf8(page));
  sink.write("abc", 3);
  EXPECT_TRUE(std::ifstream(page, std::ios::binary).is_open());
  EXPECT_TRUE(std::ofstream(page, std::ios::binary | std::ios::app).is_open());
  sink.close();
  EXPECT_EQ(readFile(page), "abc");
}

TEST(OldalLetolt, SecondCallStartsAfresh) {
  std::atomic<int> served{0};
  TestServer server([&served](ServerConnection& connection) {
    while (connection.readRequest()) {
      if (++served == 1) {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\nfirst page!");
      } else {
        connection.send("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nsecond");
      }
    }
  });
  TempDirectory directory;
  const fs::path page = directory.path() / "page.html";
  THttpClient client;
  RecordingUserInterface ui;
  EXPECT_TRUE(OldalLetolt(client, server.url("/"), utf8(page), ui));
  EXPECT_EQ(readFile(page), "first page!");
  EXPECT_TRUE(OldalLetolt(client, server.url("/"), utf8(page), ui));
  EXPECT_EQ(readFile(page), "second");
  EXPECT_EQ(served.load(), 2);
  EXPECT_TRUE(ui.errors.empty());
}

}  // namespace
}  // namespace netupdate::download
