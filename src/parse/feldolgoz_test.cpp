#include "parse/feldolgoz.h"

#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/codepage.h"

namespace netupdate::parse {
namespace {

namespace fs = std::filesystem;
using common::THaviAr;
using common::THaviArak;

THaviAr prices(float esz95, float gazolaj, float keverek, float lpg) {
  return THaviAr{esz95, keverek, gazolaj, lpg};
}

// A fresh folder per test, removed afterwards.
class FeldolgozTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "feldolgoz_test.XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    m_dir = pattern;
  }
  void TearDown() override { fs::remove_all(m_dir); }

  std::string write(const std::string& name, const std::string& bytes) {
    const fs::path path = m_dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  fs::path m_dir;
};

THaviArak filledWith(float value) {
  THaviArak table;
  for (int month = 1; month <= 12; ++month) table[month] = prices(value, value, value, value);
  return table;
}

TEST_F(FeldolgozTest, ReadsAllPricesOfTheSamplePage) {
  THaviArak haviarak;
  Feldolgoz(NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html", haviarak);
  const THaviAr want[12] = {
      prices(366, 379, 388, 241), prices(371, 383, 392, 243), prices(362, 376, 386, 238),
      prices(368, 374, 391, 236), prices(377, 381, 399, 239), prices(392, 397, 411, 245),
      prices(389, 394, 408, 247), prices(385, 392, 404, 249), prices(391, 401, 410, 252),
      prices(398, 409, 417, 257), prices(396, 412, 415, 259), prices(374, 398, 396, 254)};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(haviarak[month], want[month - 1]) << month;
}

// The page as a server may also send it: LF only, UTF-8, no line end at the end.
TEST_F(FeldolgozTest, SamplePageInUtf8ReadsOnlyTheEntityMonths) {
  std::ifstream in(NETUPDATE_TESTDATA_DIR "/2018_uzemanyagarak.html", std::ios::binary);
  std::string page((std::istreambuf_iterator<char>(in)), {});
  std::string utf8 = common::decodeAnsi(page);
  std::erase(utf8, '\r');
  utf8.pop_back();
  THaviArak haviarak = filledWith(1);
  Feldolgoz(write("utf8.html", utf8), haviarak);
  // The sample names February, March, June and October with accented letters,
  // which do not match in UTF-8; their rows keep what they held.
  for (int month : {2, 3, 6, 10}) EXPECT_EQ(haviarak[month], prices(1, 1, 1, 1)) << month;
  EXPECT_EQ(haviarak[1], prices(366, 379, 388, 241));
  EXPECT_EQ(haviarak[12], prices(374, 398, 396, 254));
}

TEST_F(FeldolgozTest, PathsThatNameNoFileChangeNothing) {
  const std::string file = write("page.html", "x");
  for (const std::string& path :
       {(m_dir / "missing.html").string(), m_dir.string(), file + "/page.html", std::string()}) {
    THaviArak haviarak = filledWith(7);
    EXPECT_NO_THROW(Feldolgoz(path, haviarak)) << path;
    EXPECT_EQ(haviarak, filledWith(7)) << path;
  }
}

struct ErrorCase {
  int code;
  std::string message;
};

ErrorCase errorOf(const std::string& path) {
  THaviArak haviarak;
  try {
    Feldolgoz(path, haviarak);
  } catch (const EInOutError& error) {
    return {error.code(), error.what()};
  }
  return {0, "no error"};
}

// Names that cannot be resolved are reported, not passed over: the file may
// well be there.
TEST_F(FeldolgozTest, UnresolvableNamesAreInvalidFileNames) {
  const std::string tooLong = (m_dir / std::string(300, 'a')).string();
  EXPECT_EQ(errorOf(tooLong).code, 3);
  EXPECT_EQ(errorOf(tooLong).message, "Invalid file name - " + tooLong);

  const fs::path loop = m_dir / "loop";
  fs::create_symlink(loop, loop);
  EXPECT_EQ(errorOf(loop.string()).code, 3);
}

// Running as root, permissions cannot refuse anything; the descriptor limit
// can: with every descriptor below it taken, the open fails.
TEST_F(FeldolgozTest, TooManyOpenFiles) {
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtime opens descriptors of its own while it checks the
  // error object, and reports a false fault when there are none left.
  GTEST_SKIP() << "needs free descriptors under the sanitizers";
#endif
  const std::string page = write("page.html", "<p>x</p>\n");
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const int lowestFree = ::dup(0);
  ASSERT_GE(lowestFree, 0);
  ::close(lowestFree);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowestFree);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  const ErrorCase got = errorOf(page);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(got.code, 4);
  EXPECT_EQ(got.message, "Too many open files");
}

// A socket is there and is no folder, but cannot be opened as a file (ENXIO).
TEST_F(FeldolgozTest, OtherOpenFailuresCarryTheirCode) {
  const std::string path = (m_dir / "sock").string();
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const ErrorCase got = errorOf(path);
  ::close(listener);
  EXPECT_EQ(got.code, ENXIO);
  EXPECT_EQ(got.message, "I/O error " + std::to_string(ENXIO));
}

// The kernel refuses to read unmapped memory through this file with EIO,
// a read failure after a successful open.
TEST_F(FeldolgozTest, ReadFailureIsRaisedAndTheFileClosed) {
  const int before = ::dup(0);
  ::close(before);
  const ErrorCase got = errorOf("/proc/self/mem");
  EXPECT_EQ(got.code, 1117);
  EXPECT_EQ(got.message, "I/O error 1117");
  const int after = ::dup(0);
  ::close(after);
  EXPECT_EQ(after, before) << "the descriptor was left open";
}

TEST_F(FeldolgozTest, Ctrl0x1AIsAnOrdinaryCharacter) {
  THaviArak haviarak;
  Feldolgoz(write("page.html",
                  "<div class=\"CikkArticleTableBorder\">\n\x1A\n<p>janu&aacute;r 3\x1A"
                  "65 379\x1A\n"
                  "\x1A<p>december 371 242</p>\n"),
            haviarak);
  EXPECT_EQ(haviarak[1], prices(365, 379, 0, 0));
  EXPECT_EQ(haviarak[12], prices(371, 242, 0, 0));
}

// Lines far longer than any read block, before, inside and after the table.
TEST_F(FeldolgozTest, VeryLongLines) {
  const std::size_t longSize = 24u << 20;
  std::string page(longSize, 'x');
  page += "\n<div class=\"CikkArticleTableBorder\">\n<p>febru&aacute;r ";
  page += std::string(longSize, ' ');
  page += "365 379 371";
  page += std::string(longSize, ';');
  page += "242 111 </p>\n";
  page += std::string(longSize, '9');
  THaviArak haviarak;
  Feldolgoz(write("long.html", page), haviarak);
  EXPECT_EQ(haviarak[2], prices(365, 379, 371, 242));
}

TEST(EInOutErrorTest, MessagesByCode) {
  const struct {
    int errnoValue;
    int code;
    const char* message;
  } cases[] = {
      {ENOENT, 2, "The specified file was not found"},
      {ENOTDIR, 3, "Invalid file name - /x/page.html"},
      {ENAMETOOLONG, 3, "Invalid file name - /x/page.html"},
      {EMFILE, 4, "Too many open files"},
      {ENFILE, 4, "Too many open files"},
      {EACCES, 5, "File access denied"},
      {EPERM, 5, "File access denied"},
      {EISDIR, 5, "File access denied"},
      {ETXTBSY, 32, "I/O error 32"},
      {EIO, 1117, "I/O error 1117"},
      {ENOSPC, ENOSPC, "I/O error 28"},
  };
  for (const auto& c : cases) {
    const EInOutError error = EInOutError::fromErrno(c.errnoValue, "/x/page.html");
    EXPECT_EQ(error.code(), c.code) << c.errnoValue;
    EXPECT_STREQ(error.what(), c.message) << c.errnoValue;
  }
}

}  // namespace
}  // namespace netupdate::parse
