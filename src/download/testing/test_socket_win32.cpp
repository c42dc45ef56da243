#include <winsock2.h>

#include <stdexcept>

#include "download/testing/test_socket.h"

namespace netupdate::download::testing {

namespace {

SOCKET socketOf(RawSocket socket) {
  return static_cast<SOCKET>(socket);
}

void startWinsock() {
  static const int failure = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (failure != 0) throw std::runtime_error("WSAStartup failed");
}

sockaddr_in loopback(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  address.sin_port = ::htons(port);
  return address;
}

// Sockets are inheritable by default on Windows. A program started by a test
// would hold the server's ends open, and a connection the server closes
// would stay open until that program ends.
SOCKET privateSocket(SOCKET socket) {
  if (socket != INVALID_SOCKET) {
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
  }
  return socket;
}

RawSocket raw(SOCKET socket) {
  return socket == INVALID_SOCKET ? kNoSocket : static_cast<RawSocket>(socket);
}

}  // namespace

RawSocket loopbackSocket() {
  startWinsock();
  const SOCKET socket = privateSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (socket == INVALID_SOCKET) throw std::runtime_error("socket failed");
  const sockaddr_in address = loopback(0);
  if (::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::closesocket(socket);
    throw std::runtime_error("bind failed");
  }
  return raw(socket);
}

std::uint16_t localPort(RawSocket socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(socketOf(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("getsockname failed");
  }
  return ::ntohs(address.sin_port);
}

void startListening(RawSocket socket, int backlog) {
  if (::listen(socketOf(socket), backlog) != 0) throw std::runtime_error("listen failed");
}

RawSocket acceptConnection(RawSocket listener) {
  for (;;) {
    const SOCKET socket = privateSocket(::accept(socketOf(listener), nullptr, nullptr));
    if (socket != INVALID_SOCKET) return raw(socket);
    if (::WSAGetLastError() != WSAECONNRESET) return kNoSocket;
  }
}

// Windows does not let a shutdown wake a blocked accept; a connection does.
void stopAccepting(RawSocket listener) {
  const RawSocket waker = startConnecting(localPort(listener));
  fd_set writable{};
  writable.fd_count = 1;
  writable.fd_array[0] = socketOf(waker);
  ::select(0, nullptr, &writable, nullptr, nullptr);
  closeSocket(waker);
}

RawSocket startConnecting(std::uint16_t port) {
  startWinsock();
  const SOCKET socket = privateSocket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (socket == INVALID_SOCKET) throw std::runtime_error("socket failed");
  u_long nonBlocking = 1;
  ::ioctlsocket(socket, static_cast<long>(FIONBIO), &nonBlocking);
  const sockaddr_in address = loopback(port);
  ::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  return raw(socket);
}

std::ptrdiff_t receiveSome(RawSocket socket, char* buffer, std::size_t size) {
  const int got = ::recv(socketOf(socket), buffer, static_cast<int>(size), 0);
  return got == SOCKET_ERROR ? -1 : got;
}

bool sendAll(RawSocket socket, std::string_view bytes) {
  while (!bytes.empty()) {
    const int sent = ::send(socketOf(socket), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent == SOCKET_ERROR || sent == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

void shutDown(RawSocket socket) {
  ::shutdown(socketOf(socket), SD_BOTH);
}

void closeWithReset(RawSocket socket) {
  linger abort{1, 0};
  ::setsockopt(socketOf(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
               sizeof abort);
  closeSocket(socket);
}

void closeSocket(RawSocket socket) {
  ::closesocket(socketOf(socket));
}

bool unreadDataSurvivesReset() {
  return false;
}

}  // namespace netupdate::download::testing
