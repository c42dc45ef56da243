#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "cli/console.h"

namespace netupdate::cli {
namespace {

// A console screen buffer of our own, written through a stdio stream as the
// tool writes to stdout, and read back character by character.
class ScreenBuffer {
 public:
  ScreenBuffer()
      : m_handle(::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             CONSOLE_TEXTMODE_BUFFER, nullptr)) {
    if (m_handle == INVALID_HANDLE_VALUE) return;
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(m_handle), _O_WRONLY | _O_BINARY);
    m_stream = fd < 0 ? nullptr : ::_fdopen(fd, "wb");
  }
  ~ScreenBuffer() {
    if (m_stream != nullptr) {
      std::fclose(m_stream);
    } else if (m_handle != INVALID_HANDLE_VALUE) {
      ::CloseHandle(m_handle);
    }
  }
  ScreenBuffer(const ScreenBuffer&) = delete;
  ScreenBuffer& operator=(const ScreenBuffer&) = delete;

  std::FILE* stream() const { return m_stream; }

  std::wstring firstLine(DWORD length) const {
    std::wstring text(length, L'\0');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterW(m_handle, text.data(), length, COORD{0, 0}, &read);
    text.resize(read);
    return text;
  }

 private:
  HANDLE m_handle;
  std::FILE* m_stream = nullptr;
};

// Whatever the console's code page, Hungarian letters arrive as letters, and
// what went out through stdio before stays before.
TEST(WriteText, ConsoleGetsTheCharacters) {
  ScreenBuffer console;
  if (console.stream() == nullptr) {
    GTEST_SKIP() << "no console here: Wine has one only in a terminal (ctest runs this test "
                    "through src/cli/testing/in-terminal)";
  }
  std::fputs("Honap: ", console.stream());
  writeText(console.stream(), "Január Gázolaj ő ű");
  const std::wstring expected = L"Honap: Janu\u00e1r G\u00e1zolaj \u0151 \u0171";
  EXPECT_EQ(console.firstLine(static_cast<DWORD>(expected.size())), expected);
}

}  // namespace
}  // namespace netupdate::cli
