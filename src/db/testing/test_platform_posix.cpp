#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "db/testing/test_platform.h"

namespace netupdate::db::testsupport {

bool tcpReachable(const std::string& host, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) == 1 &&
                  ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

int closedLoopbackPort() {
  // Bound but never listening: connects are refused for as long as the
  // socket stays open, so nobody can start listening there meanwhile.
  static const int port = [] {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return static_cast<int>(ntohs(address.sin_port));
  }();
  return port;
}

bool clientLibraryMayBeMissing() {
  return false;
}

}  // namespace netupdate::db::testsupport

// LeakSanitizer (the sanitizer test build) crashes in its own tracer while
// scanning the dynamic thread-local blocks of the Firebird libraries these
// tests load and unload many times over (GCC 12's runtime on glibc 2.36). Not
// scanning thread-local storage can only report more leaks, never hide one.
// Only the sanitizer runtime calls this.
extern "C" const char* __lsan_default_options();
extern "C" const char* __lsan_default_options() {
  return "use_tls=0";
}
