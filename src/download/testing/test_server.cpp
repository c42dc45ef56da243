#include "download/testing/test_server.h"

#include <algorithm>
#include <utility>

namespace netupdate::download::testing {

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
    const std::ptrdiff_t got = receiveSome(m_socket, buffer, sizeof buffer);
    if (got <= 0) return false;
    m_pending.append(buffer, static_cast<std::size_t>(got));
  }
}

void ServerConnection::send(std::string_view bytes) {
  sendAll(m_socket, bytes);
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
  if (m_socket == kNoSocket) return;
  m_forget(m_socket);
  closeWithReset(std::exchange(m_socket, kNoSocket));
}

void ServerConnection::close() {
  if (m_socket == kNoSocket) return;
  m_forget(m_socket);
  closeSocket(std::exchange(m_socket, kNoSocket));
}

bool ServerConnection::waitForClientClose() {
  char buffer[4096];
  for (;;) {
    const std::ptrdiff_t got = receiveSome(m_socket, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) return false;
  }
}

TestServer::TestServer(Handler handler) : m_handler(std::move(handler)) {
  m_listener = loopbackSocket();
  startListening(m_listener, 16);
  m_port = localPort(m_listener);
  m_acceptThread = std::thread([this] { acceptLoop(); });
}

TestServer::~TestServer() {
  m_stopping = true;
  stopAccepting(m_listener);
  m_acceptThread.join();
  {
    std::lock_guard lock(m_mutex);
    for (const RawSocket socket : m_openSockets) shutDown(socket);
  }
  waitForHandlers();
  closeSocket(m_listener);
}

void TestServer::acceptLoop() {
  for (;;) {
    const RawSocket socket = acceptConnection(m_listener);
    if (socket == kNoSocket) return;
    if (m_stopping) {
      closeSocket(socket);
      return;
    }
    ++m_connections;
    std::lock_guard lock(m_mutex);
    m_openSockets.push_back(socket);
    m_threads.emplace_back([this, socket] {
      ServerConnection connection(
          socket,
          [this](std::string request) {
            std::lock_guard requestLock(m_mutex);
            m_requests.push_back(std::move(request));
          },
          [this](RawSocket closing) {
            std::lock_guard forgetLock(m_mutex);
            std::erase(m_openSockets, closing);
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

RefusingPort::RefusingPort() : socket(loopbackSocket()), port(localPort(socket)) {}

RefusingPort::~RefusingPort() {
  closeSocket(socket);
}

}  // namespace netupdate::download::testing
