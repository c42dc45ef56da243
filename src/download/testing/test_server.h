#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "download/testing/test_socket.h"

namespace netupdate::download::testing {

// The server's side of one accepted connection, driven by a test's script.
class ServerConnection {
 public:
  ServerConnection(RawSocket socket, std::function<void(std::string)> recordRequest,
                   std::function<void(RawSocket)> forget)
      : m_socket(socket), m_recordRequest(std::move(recordRequest)), m_forget(std::move(forget)) {}
  ServerConnection(const ServerConnection&) = delete;
  ServerConnection& operator=(const ServerConnection&) = delete;
  ~ServerConnection();

  // Reads one request head up to its empty line and records it; false when
  // the client closed (or reset) first.
  bool readRequest();
  void send(std::string_view bytes);
  // Sends in pieces of pieceSize bytes with a pause after each, so the
  // client sees the bytes arrive in separate reads.
  void sendInPieces(std::string_view bytes, std::size_t pieceSize, std::chrono::milliseconds pause);
  // Aborts the connection: the client gets a reset, not a close.
  void reset();
  // Closes the connection normally.
  void close();
  // Waits until the client closes its side; true when it did so with a
  // shutdown of its sending direction before anything else arrived.
  bool waitForClientClose();

 private:
  RawSocket m_socket;
  std::string m_pending;
  std::function<void(std::string)> m_recordRequest;
  // Tells the server the socket is about to be closed and its number reused.
  std::function<void(RawSocket)> m_forget;
};

// A raw TCP server on 127.0.0.1 at a port the OS picks, one thread per
// connection, each running the test's handler. It records every request
// head it reads, byte for byte.
class TestServer {
 public:
  using Handler = std::function<void(ServerConnection&)>;
  explicit TestServer(Handler handler);
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;
  // Stops accepting, cuts open connections short and joins every thread.
  ~TestServer();

  std::uint16_t port() const { return m_port; }
  std::string url(const std::string& pathAndQuery) const;
  std::vector<std::string> requests() const;
  int connectionCount() const { return m_connections.load(); }
  // Waits for the handlers of all connections accepted so far to finish.
  void waitForHandlers();

 private:
  void acceptLoop();

  Handler m_handler;
  RawSocket m_listener = kNoSocket;
  std::uint16_t m_port = 0;
  std::atomic<int> m_connections{0};
  std::atomic<bool> m_stopping{false};
  mutable std::mutex m_mutex;
  std::vector<std::string> m_requests;
  std::vector<RawSocket> m_openSockets;
  std::vector<std::thread> m_threads;
  std::thread m_acceptThread;
};

// A port on 127.0.0.1 where nothing listens: bound but never listening, so
// a connection attempt is refused for as long as the returned socket lives.
struct RefusingPort {
  RefusingPort();
  ~RefusingPort();
  RefusingPort(const RefusingPort&) = delete;
  RefusingPort& operator=(const RefusingPort&) = delete;
  RawSocket socket = kNoSocket;
  std::uint16_t port = 0;
};

}  // namespace netupdate::download::testing
