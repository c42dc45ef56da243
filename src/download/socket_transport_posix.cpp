#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "common/error.h"
#include "download/http_errors.h"
#include "download/transport.h"

namespace netupdate::download {

namespace {

using Clock = std::chrono::steady_clock;

// Users know socket failures by their Windows Sockets codes, so POSIX errno
// values and resolver (EAI_*) results are translated here, once.
std::int32_t wsaCodeFromErrno(int errnoValue) {
  switch (errnoValue) {
    case EINTR:
      return 10004;
    case EBADF:
      return 10009;
    case EACCES:
      return 10013;
    case EPERM:
      return 10013;
    case EFAULT:
      return 10014;
    case EINVAL:
      return 10022;
    case EMFILE:
      return 10024;
    case EWOULDBLOCK:
      return 10035;
    case EINPROGRESS:
      return 10036;
    case EALREADY:
      return 10037;
    case ENOTSOCK:
      return 10038;
    case EDESTADDRREQ:
      return 10039;
    case EMSGSIZE:
      return 10040;
    case EPROTOTYPE:
      return 10041;
    case ENOPROTOOPT:
      return 10042;
    case EPROTONOSUPPORT:
      return 10043;
    case ESOCKTNOSUPPORT:
      return 10044;
    case EOPNOTSUPP:
      return 10045;
    case EPFNOSUPPORT:
      return 10046;
    case EAFNOSUPPORT:
      return 10047;
    case EADDRINUSE:
      return 10048;
    case EADDRNOTAVAIL:
      return 10049;
    case ENETDOWN:
      return 10050;
    case ENETUNREACH:
      return 10051;
    case ENETRESET:
      return 10052;
    case ECONNABORTED:
      return kWsaConnectionAborted;
    // Writing to a connection the peer has reset; Windows reports that as a reset too.
    case EPIPE:
      return kWsaConnectionReset;
    case ECONNRESET:
      return kWsaConnectionReset;
    case ENOBUFS:
      return 10055;
    case ENOMEM:
      return 10055;
    case EISCONN:
      return 10056;
    case ENOTCONN:
      return 10057;
    case ESHUTDOWN:
      return kWsaShutdown;
    case ETOOMANYREFS:
      return 10059;
    case ETIMEDOUT:
      return kWsaTimedOut;
    case ECONNREFUSED:
      return kWsaConnectionRefused;
    case ELOOP:
      return 10062;
    case ENAMETOOLONG:
      return 10063;
    case EHOSTDOWN:
      return 10064;
    case EHOSTUNREACH:
      return 10065;
    case ENOTEMPTY:
      return 10066;
    default:
      return errnoValue;
  }
}

std::int32_t wsaCodeFromResolver(int eaiValue, int errnoValue) {
  switch (eaiValue) {
    case EAI_NONAME:
      return kWsaHostNotFound;
    case EAI_AGAIN:
      return kWsaTryAgain;
    case EAI_FAIL:
      return kWsaNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA:
      return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY:
      return kWsaNoData;
#endif
    case EAI_MEMORY:
      return 10055;
    case EAI_SYSTEM:
      return wsaCodeFromErrno(errnoValue);
    default:
      return kWsaNoRecovery;
  }
}

// Waits for the events on fd for at most timeoutMs (forever when <= 0); a
// signal does not shorten the wait. Returns the events seen, 0 on timeout.
short pollFor(int fd, short events, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs > 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd entry{fd, events, 0};
    const int ready = ::poll(&entry, 1, wait);
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) throw ESocketError(wsaCodeFromErrno(errno));
  }
}

class SocketTransport : public Transport {
 public:
  explicit SocketTransport(int fd) : m_fd(fd) {}
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;
  ~SocketTransport() override { close(); }

  std::size_t read(char* data, std::size_t size, int timeoutMs) override {
    if (pollFor(m_fd, POLLIN, timeoutMs) == 0) throw common::Error("Read timed out.");
    for (;;) {
      const ssize_t got = ::recv(m_fd, data, size, 0);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw ESocketError(wsaCodeFromErrno(errno));
    }
  }

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      // MSG_NOSIGNAL: a peer that went away must give an error, not kill the process.
      const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL);
      if (sent < 0) {
        if (errno == EINTR) continue;
        throw ESocketError(wsaCodeFromErrno(errno));
      }
      data += sent;
      size -= static_cast<std::size_t>(sent);
    }
  }

  bool waitReadable(int timeoutMs) override {
    if (timeoutMs > 0) return pollFor(m_fd, POLLIN, timeoutMs) != 0;
    return !idle();
  }

  bool idle() override {
    pollfd entry{m_fd, POLLIN, 0};
    int ready = 0;
    do {
      ready = ::poll(&entry, 1, 0);
    } while (ready < 0 && errno == EINTR);
    // Anything readable on an idle connection is either the peer's close or
    // bytes nobody asked for; both make the connection unusable.
    return ready == 0;
  }

  void close() noexcept override {
    if (m_fd < 0) return;
    ::shutdown(m_fd, SHUT_WR);
    ::close(std::exchange(m_fd, -1));
  }

 private:
  int m_fd;
};

class SocketConnector : public Connector {
 public:
  std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                     int timeoutMs) override {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    errno = 0;
    const int resolved = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (resolved != 0) throw ESocketError(wsaCodeFromResolver(resolved, errno));
    sockaddr_in address{};
    // Only the first address is tried: the resolver's order is the server's choice.
    std::memcpy(&address, found->ai_addr, sizeof address);
    ::freeaddrinfo(found);
    address.sin_port = htons(port);

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) throw ESocketError(wsaCodeFromErrno(errno));
    auto transport = std::make_unique<SocketTransport>(fd);
    // Connecting without blocking lets the attempt be bounded by our own limit.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      if (errno != EINPROGRESS && errno != EINTR) throw ESocketError(wsaCodeFromErrno(errno));
      if (pollFor(fd, POLLOUT, timeoutMs) == 0) throw common::Error("Connect timed out.");
      int failure = 0;
      socklen_t length = sizeof failure;
      if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &failure, &length) != 0) failure = errno;
      if (failure != 0) throw ESocketError(wsaCodeFromErrno(failure));
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
      throw ESocketError(wsaCodeFromErrno(errno));
    }
    return transport;
  }
};

}  // namespace

std::unique_ptr<Connector> makeSocketConnector() {
  return std::make_unique<SocketConnector>();
}

}  // namespace netupdate::download
