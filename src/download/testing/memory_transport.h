#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "download/transport.h"

namespace netupdate::download::testing {

// What one scripted connection does: the bytes it answers with, how it hands
// them out, and where it fails.
struct MemoryScript {
  std::string response;
  // Bytes per read at most, so heads and bodies cross read boundaries.
  std::size_t pieceSize = 7;
  // The n-th read (from 1) throws instead of reading; 0 never.
  int failAtRead = 0;
  // The n-th write (from 1) throws; 0 never.
  int failAtWrite = 0;
  std::int32_t failCode = 10054;
  // When the response is used up: true waits as a silent peer would
  // (reads time out), false reads the peer's close.
  bool staysOpen = false;
};

struct MemoryRecord {
  std::string written;
  int reads = 0;
  int writes = 0;
  bool closed = false;
};

// Hands out one scripted transport per connect, in order; connecting past
// the last script is refused.
class MemoryConnector : public Connector {
 public:
  explicit MemoryConnector(std::vector<MemoryScript> scripts) : m_scripts(std::move(scripts)) {}
  std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                     int timeoutMs) override;
  // Shared with the transports so it outlives the client that owns them.
  const std::vector<std::shared_ptr<MemoryRecord>>& records() const { return m_records; }

 private:
  std::vector<MemoryScript> m_scripts;
  std::vector<std::shared_ptr<MemoryRecord>> m_records;
};

}  // namespace netupdate::download::testing
