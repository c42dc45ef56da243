#include "download/test_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace netupdate::download::testing {

namespace {

std::uint16_t boundPort(int fd) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    throw std::runtime_error("getsockname failed");
  }
  return ntohs(address.sin_port);
}

int boundLoopbackSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    throw std::runtime_error("bind failed");
  }
  return fd;
}

}  // namespace

ServerConnection::~ServerConnection() {
  close();
}

bool ServerConnection::readRequest() {
  for (;;) {
    const std::size_t end = m_pending.find("\r\n\r\n");
    if (end != std::string::npos) {
      m_recordRequest(m_pending.substr(0, end + 4));
      m_pending.erase(0, end + 4);
      return true;
    }
    char buffer[4096];
    const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    m_pending.append(buffer, static_cast<std::size_t>(got));
  }
}

void ServerConnection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
}

void ServerConnection::sendInPieces(std::string_view bytes, std::size_t pieceSize,
                                    std::chrono::milliseconds pause) {
  while (!bytes.empty()) {
    const std::size_t take = std::min(pieceSize, bytes.size());
    send(bytes.substr(0, take));
    bytes.remove_prefix(take);
    std::this_thread::sleep_for(pause);
  }
}

void ServerConnection::reset() {
  if (m_fd < 0) return;
  linger abort{1, 0};
  ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  close();
}

void ServerConnection::close() {
  if (m_fd < 0) return;
  m_forget(m_fd);
  ::close(m_fd);
  m_fd = -1;
}

bool ServerConnection::waitForClientClose() {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got == 0) return true;
    if (got < 0) return false;
  }
}

TestServer::TestServer(Handler handler) : m_handler(std::move(handler)) {
  m_listenFd = boundLoopbackSocket();
  if (::listen(m_listenFd, 16) != 0) throw std::runtime_error("listen failed");
  m_port = boundPort(m_listenFd);
  m_acceptThread = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
  m_stopping = true;
  ::shutdown(m_listenFd, SHUT_RDWR);
  m_acceptThread.join();
  {
    std::lock_guard lock(m_mutex);
    for (const int fd : m_openFds) ::shutdown(fd, SHUT_RDWR);
  }
  waitForHandlers();
  ::close(m_listenFd);
}

void TestServer::acceptLoop() {
  for (;;) {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return;
    }
    if (m_stopping) {
      ::close(fd);
      return;
    }
    ++m_connections;
    std::lock_guard lock(m_mutex);
    m_openFds.push_back(fd);
    m_threads.emplace_back([this, fd] {
      ServerConnection connection(
          fd,
          [this](std::string request) {
            std::lock_guard requestLock(m_mutex);
            m_requests.push_back(std::move(request));
          },
          [this](int closing) {
            std::lock_guard forgetLock(m_mutex);
            std::erase(m_openFds, closing);
          });
      m_handler(connection);
    });
  }
}

void TestServer::waitForHandlers() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(m_mutex);
    threads.swap(m_threads);
  }
  for (std::thread& thread : threads) thread.join();
}

std::string TestServer::url(const std::string& pathAndQuery) const {
  return "http://127.0.0.1:" + std::to_string(m_port) + pathAndQuery;
}

std::vector<std::string> TestServer::requests() const {
  std::lock_guard lock(m_mutex);
  return m_requests;
}

RefusingPort::RefusingPort() : fd(boundLoopbackSocket()), port(boundPort(fd)) {}

RefusingPort::~RefusingPort() {
  ::close(fd);
}

}  // namespace netupdate::download::testing
