#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>

#include "db/testing/test_platform.h"

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

}  // namespace netupdate::db::testsupport
