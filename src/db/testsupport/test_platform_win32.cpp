#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

#include "common/wide_text.h"
#include "db/testsupport/test_platform.h"

namespace netupdate::db::testsupport {

namespace {

// Winsock wants starting once per process before the first socket.
bool winsockStarted() {
  static const bool started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

// The quoting the C runtime's command-line splitter undoes: backslashes are
// literal except before a double quote, where they are doubled.
std::wstring quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

HANDLE inheritableFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(common::widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool tcpReachable(const std::string& host, int port) {
  if (!winsockStarted()) return false;
  const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (fd == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(static_cast<std::uint16_t>(port));
  const bool ok = ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
                  ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::closesocket(fd);
  return ok;
}

int closedLoopbackPort() {
  // Bound but never listening, and kept open, as on Linux.
  static const int port = [] {
    if (!winsockStarted()) return 0;
    const SOCKET fd = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return static_cast<int>(::ntohs(address.sin_port));
  }();
  return port;
}

bool clientLibraryMayBeMissing() {
  return true;
}

int runProcess(const std::vector<std::string>& argv, const std::string& outPath,
               const std::string& errPath) {
  std::wstring commandLine;
  for (const std::string& arg : argv) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += quoted(common::widen(arg));
  }
  const HANDLE out = inheritableFile(outPath);
  const HANDLE err = inheritableFile(errPath);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const bool started =
      out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
      ::CreateProcessW(common::widen(argv.at(0)).c_str(), commandLine.data(), nullptr, nullptr,
                       TRUE, 0, nullptr, nullptr, &startup, &process);
  if (out != INVALID_HANDLE_VALUE) ::CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) ::CloseHandle(err);
  if (!started) return -1;
  DWORD status = 0;
  const bool exited = ::WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                      ::GetExitCodeProcess(process.hProcess, &status);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return exited ? static_cast<int>(status) : -1;
}

}  // namespace netupdate::db::testsupport
