#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

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

// Each receive is a trip through the system (under Wine, through its server
// process), so a large body should move in few of them.
constexpr std::size_t kReceiveSize = 1024 * 1024;

// One receive is always under way while the connection waits for data, and
// the first starts before the request goes out: the peer's answer, close or
// reset then always finds a receive to end, with the code the system gives
// it. (Wine, for one, turns a reset that comes while no receive is under way
// into an orderly close.)
class SocketTransport : public Transport {
 public:
  explicit SocketTransport(SOCKET socket) : m_socket(socket), m_buffer(kReceiveSize) {
    m_overlapped.hEvent = ::WSACreateEvent();
    if (m_overlapped.hEvent == WSA_INVALID_EVENT) {
      const int failure = ::WSAGetLastError();
      ::closesocket(m_socket);
      throw ESocketError(failure);
    }
  }
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;
  ~SocketTransport() override {
    close();
    ::WSACloseEvent(m_overlapped.hEvent);
  }

  void startReceiving() { receive(); }

  std::size_t read(char* data, std::size_t size, int timeoutMs) override {
    if (!awaitReceived(timeoutMs > 0 ? static_cast<DWORD>(timeoutMs) : WSA_INFINITE)) {
      throw common::Error("Read timed out.");
    }
    if (m_failure != 0) throw ESocketError(m_failure);
    if (m_ended) return 0;
    const std::size_t count = std::min(size, m_end - m_begin);
    std::memcpy(data, m_buffer.data() + m_begin, count);
    m_begin += count;
    if (m_begin == m_end) receive();
    return count;
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
    if (timeoutMs > 0) return awaitReceived(static_cast<DWORD>(timeoutMs));
    return !idle();
  }

  bool idle() override {
    // Anything that came on an idle connection is either the peer's close or
    // bytes nobody asked for; both make the connection unusable, and so does
    // a failure.
    return m_receiving && !awaitReceived(0);
  }

  void close() noexcept override {
    if (m_socket == INVALID_SOCKET) return;
    ::shutdown(m_socket, SD_SEND);
    if (m_receiving) {
      // The receive must be over before its buffer may go.
      ::CancelIoEx(reinterpret_cast<HANDLE>(m_socket), &m_overlapped);
      DWORD got = 0;
      DWORD flags = 0;
      ::WSAGetOverlappedResult(m_socket, &m_overlapped, &got, TRUE, &flags);
      m_receiving = false;
    }
    ::closesocket(std::exchange(m_socket, INVALID_SOCKET));
  }

 private:
  // Winsock counts in int; a larger buffer is simply served in parts.
  static int chunk(std::size_t size) {
    return static_cast<int>(std::min<std::size_t>(size, INT_MAX));
  }

  void receive() {
    m_begin = m_end = 0;
    WSABUF buffer{static_cast<ULONG>(m_buffer.size()), m_buffer.data()};
    DWORD flags = 0;
    // Finished at once or not, the outcome is collected from the overlapped
    // result when it is needed.
    if (::WSARecv(m_socket, &buffer, 1, nullptr, &flags, &m_overlapped, nullptr) == 0 ||
        ::WSAGetLastError() == WSA_IO_PENDING) {
      m_receiving = true;
    } else {
      m_failure = ::WSAGetLastError();
    }
  }

  // True once the receive under way has finished, its bytes, close or
  // failure collected; false when it is still under way after waitMs.
  bool awaitReceived(DWORD waitMs) {
    if (!m_receiving) return true;
    const DWORD woken = ::WSAWaitForMultipleEvents(1, &m_overlapped.hEvent, FALSE, waitMs, FALSE);
    if (woken == WSA_WAIT_TIMEOUT) return false;
    if (woken == WSA_WAIT_FAILED) throw ESocketError(::WSAGetLastError());
    DWORD got = 0;
    DWORD flags = 0;
    m_receiving = false;
    ::WSAResetEvent(m_overlapped.hEvent);
    if (!::WSAGetOverlappedResult(m_socket, &m_overlapped, &got, FALSE, &flags)) {
      m_failure = ::WSAGetLastError();
    } else if (got == 0) {
      m_ended = true;
    } else {
      m_end = got;
    }
    return true;
  }

  SOCKET m_socket;
  std::vector<char> m_buffer;
  WSAOVERLAPPED m_overlapped{};
  bool m_receiving = false;
  std::size_t m_begin = 0;
  std::size_t m_end = 0;
  bool m_ended = false;
  int m_failure = 0;
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
    transport->startReceiving();
    return transport;
  }
};

}  // namespace

std::unique_ptr<Connector> makeSocketConnector() {
  return std::make_unique<SocketConnector>();
}

}  // namespace netupdate::download
