#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>
#include <utility>

#include "common/error.h"
#include "common/wide_text.h"
#include "download/http_errors.h"
#include "download/transport.h"

// Winsock reports its own codes, the very ones users are shown, so nothing is
// translated here: WSAGetLastError() and the resolver's result go straight
// into ESocketError.
namespace netupdate::download {

namespace {

// A process must start Winsock before its first socket call. It is started
// once and never cleaned up: the process's end releases it.
void startWinsock() {
  static const int failure = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (failure != 0) throw ESocketError(failure);
}

fd_set only(SOCKET socket) {
  fd_set set{};
  set.fd_count = 1;
  set.fd_array[0] = socket;
  return set;
}

// nullptr waits forever, as the interface's timeouts of 0 or less ask.
timeval* limitFor(int timeoutMs, timeval& storage) {
  if (timeoutMs <= 0) return nullptr;
  storage.tv_sec = timeoutMs / 1000;
  storage.tv_usec = (timeoutMs % 1000) * 1000;
  return &storage;
}

// True when data or the peer's close arrives in time; select() on Windows is
// not cut short by anything, so one call is the whole wait.
bool waitReadableFor(SOCKET socket, timeval* limit) {
  fd_set readable = only(socket);
  const int ready = ::select(0, &readable, nullptr, nullptr, limit);
  if (ready == SOCKET_ERROR) throw ESocketError(::WSAGetLastError());
  return ready > 0;
}

class SocketTransport : public Transport {
 public:
  explicit SocketTransport(SOCKET socket) : m_socket(socket) {}
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;
  ~SocketTransport() override { close(); }

  std::size_t read(char* data, std::size_t size, int timeoutMs) override {
    timeval storage{};
    if (!waitReadableFor(m_socket, limitFor(timeoutMs, storage))) {
      throw common::Error("Read timed out.");
    }
    const int got = ::recv(m_socket, data, chunk(size), 0);
    if (got == SOCKET_ERROR) throw ESocketError(::WSAGetLastError());
    return static_cast<std::size_t>(got);
  }

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      const int sent = ::send(m_socket, data, chunk(size), 0);
      if (sent == SOCKET_ERROR) throw ESocketError(::WSAGetLastError());
      data += sent;
      size -= static_cast<std::size_t>(sent);
    }
  }

  bool waitReadable(int timeoutMs) override {
    if (timeoutMs > 0) {
      timeval storage{};
      return waitReadableFor(m_socket, limitFor(timeoutMs, storage));
    }
    return !idle();
  }

  bool idle() override {
    fd_set readable = only(m_socket);
    timeval now{};
    // Anything readable on an idle connection is either the peer's close or
    // bytes nobody asked for; both make the connection unusable, and so does
    // a socket select() cannot look at.
    return ::select(0, &readable, nullptr, nullptr, &now) == 0;
  }

  void close() noexcept override {
    if (m_socket == INVALID_SOCKET) return;
    ::shutdown(m_socket, SD_SEND);
    ::closesocket(std::exchange(m_socket, INVALID_SOCKET));
  }

 private:
  // Winsock counts in int; a larger buffer is simply served in parts.
  static int chunk(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
  }

  SOCKET m_socket;
};

sockaddr_in resolve(const std::string& host, std::uint16_t port) {
  ADDRINFOW hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  ADDRINFOW* found = nullptr;
  // The wide form, so a host name outside ASCII reaches the resolver whole.
  const int resolved = ::GetAddrInfoW(common::widen(host).c_str(), nullptr, &hints, &found);
  if (resolved != 0) throw ESocketError(resolved);
  sockaddr_in address{};
  // Only the first address is tried: the resolver's order is the server's choice.
  std::memcpy(&address, found->ai_addr, sizeof address);
  ::FreeAddrInfoW(found);
  address.sin_port = ::htons(port);
  return address;
}

SOCKET openSocket() {
  // Like every handle of ours, the socket is not handed down to programs we
  // start; Windows 7 before its first service pack does not know the flag.
  SOCKET socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                               WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  if (socket == INVALID_SOCKET && ::WSAGetLastError() == WSAEINVAL) {
    socket = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_OVERLAPPED);
  }
  if (socket == INVALID_SOCKET) throw ESocketError(::WSAGetLastError());
  return socket;
}

void setBlocking(SOCKET socket, bool blocking) {
  u_long nonBlocking = blocking ? 0 : 1;
  if (::ioctlsocket(socket, static_cast<long>(FIONBIO), &nonBlocking) != 0) {
    throw ESocketError(::WSAGetLastError());
  }
}

class SocketConnector : public Connector {
 public:
  std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                     int timeoutMs) override {
    startWinsock();
    const sockaddr_in address = resolve(host, port);
    const SOCKET socket = openSocket();
    auto transport = std::make_unique<SocketTransport>(socket);

    // Connecting without blocking lets the attempt be bounded by our own limit.
    setBlocking(socket, false);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      const int failure = ::WSAGetLastError();
      if (failure != WSAEWOULDBLOCK) throw ESocketError(failure);
      // A failed attempt shows in the exception set: select() is reliable
      // about that on every Windows, WSAPoll is not.
      fd_set writable = only(socket);
      fd_set failed = only(socket);
      timeval storage{};
      const int ready = ::select(0, nullptr, &writable, &failed, limitFor(timeoutMs, storage));
      if (ready == SOCKET_ERROR) throw ESocketError(::WSAGetLastError());
      if (ready == 0) throw common::Error("Connect timed out.");
      if (failed.fd_count != 0) {
        int code = 0;
        int length = sizeof code;
        if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length) !=
            0) {
          code = ::WSAGetLastError();
        }
        throw ESocketError(code != 0 ? code : WSAECONNREFUSED);
      }
    }
    setBlocking(socket, true);
    return transport;
  }
};

}  // namespace

std::unique_ptr<Connector> makeSocketConnector() {
  return std::make_unique<SocketConnector>();
}

}  // namespace netupdate::download
