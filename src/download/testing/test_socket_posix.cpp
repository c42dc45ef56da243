#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "download/testing/test_socket.h"

namespace netupdate::download::testing {

namespace {

int fdOf(RawSocket socket) {
  return static_cast<int>(socket);
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

RawSocket loopbackSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  const sockaddr_in address = loopback(0);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    throw std::runtime_error("bind failed");
  }
  return fd;
}

std::uint16_t localPort(RawSocket socket) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fdOf(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("getsockname failed");
  }
  return ntohs(address.sin_port);
}

void startListening(RawSocket socket, int backlog) {
  if (::listen(fdOf(socket), backlog) != 0) throw std::runtime_error("listen failed");
}

RawSocket acceptConnection(RawSocket listener) {
  for (;;) {
    const int fd = ::accept4(fdOf(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0) return fd;
    if (errno != EINTR && errno != ECONNABORTED) return kNoSocket;
  }
}

// A listener shut down makes a blocked accept fail at once.
void stopAccepting(RawSocket listener) {
  ::shutdown(fdOf(listener), SHUT_RDWR);
}

RawSocket startConnecting(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  const sockaddr_in address = loopback(port);
  ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return fd;
}

std::ptrdiff_t receiveSome(RawSocket socket, char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::recv(fdOf(socket), buffer, size, 0);
    if (got >= 0 || errno != EINTR) return got < 0 ? -1 : got;
  }
}

bool sendAll(RawSocket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(fdOf(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void shutDown(RawSocket socket) {
  ::shutdown(fdOf(socket), SHUT_RDWR);
}

void closeWithReset(RawSocket socket) {
  linger abort{1, 0};
  ::setsockopt(fdOf(socket), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  closeSocket(socket);
}

void closeSocket(RawSocket socket) {
  ::close(fdOf(socket));
}

bool unreadDataSurvivesReset() {
  return true;
}

}  // namespace netupdate::download::testing
