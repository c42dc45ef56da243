#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>

#include "parse/errno_codes.h"
#include "parse/testing/feldolgoz_test_support.h"

namespace netupdate::parse {
namespace {

namespace fs = std::filesystem;
using testing::ErrorCase;
using testing::errorOf;
using testing::FeldolgozTest;

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

TEST(ErrnoCodesTest, ErrnoInTheWindowsNumbering) {
  const struct {
    int errnoValue;
    int code;
  } cases[] = {
      {ENOENT, 2}, {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {ELOOP, 3},     {EMFILE, 4},
      {ENFILE, 4}, {EACCES, 5},  {EPERM, 5},        {EISDIR, 5},    {ETXTBSY, 32},
      {EBUSY, 32}, {EIO, 1117},  {ENOSPC, ENOSPC},  {ENXIO, ENXIO},
  };
  for (const auto& c : cases) EXPECT_EQ(ioErrorCode(c.errnoValue), c.code) << c.errnoValue;
}

}  // namespace
}  // namespace netupdate::parse
