#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace netupdate::download::testing {

// The few raw socket calls the scripted test peers need, one implementation
// file per platform, so the peers themselves are the same everywhere.
// Failures to set a peer up throw std::runtime_error.

// A descriptor on POSIX, a SOCKET on Windows.
using RawSocket = std::intptr_t;
inline constexpr RawSocket kNoSocket = -1;

// A TCP socket bound to 127.0.0.1 on a port the OS picks, not yet listening.
// Never handed down to programs the test starts.
RawSocket loopbackSocket();
std::uint16_t localPort(RawSocket socket);
void startListening(RawSocket socket, int backlog);
// The next connection; kNoSocket once the listener has been shut down.
RawSocket acceptConnection(RawSocket listener);
// Wakes a thread blocked in acceptConnection on this listener.
void stopAccepting(RawSocket listener);
// Starts connecting to 127.0.0.1:port without waiting for the answer.
RawSocket startConnecting(std::uint16_t port);

// Bytes received; 0 when the peer closed, -1 on a failure such as a reset.
std::ptrdiff_t receiveSome(RawSocket socket, char* buffer, std::size_t size);
// False when the peer is gone.
bool sendAll(RawSocket socket, std::string_view bytes);
// Shuts down both directions, waking a thread blocked on the socket.
void shutDown(RawSocket socket);
// Closes so that the peer sees a reset rather than a close.
void closeWithReset(RawSocket socket);
void closeSocket(RawSocket socket);

// Whether bytes that arrived just before a reset can still be read, so that
// a test may count on them. Linux keeps them and reports the reset after
// them. Windows drops them, and Wine, which runs on Linux, turns a reset that
// comes while nobody is receiving into an orderly close.
bool unreadDataSurvivesReset();

}  // namespace netupdate::download::testing
