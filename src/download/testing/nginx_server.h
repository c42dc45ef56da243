#pragma once

#include <filesystem>
#include <string>

namespace netupdate::download::testing {

// A real nginx on 127.0.0.1 at a port the OS chose, serving a folder of the
// test's own, with an access log of one line per request: the connection's
// serial number, the request line, the status and the transfer encoding.
// One implementation file per platform: on Linux the test starts nginx
// itself; a Windows test under Wine cannot start a Linux program, so
// nginx-wine-run starts it beside the test.
class Nginx {
 public:
  // Empty when nginx can run here, otherwise why not.
  static std::string unavailableBecause();

  Nginx();
  Nginx(const Nginx&) = delete;
  Nginx& operator=(const Nginx&) = delete;
  ~Nginx();

  std::string url(const std::string& path) const;
  std::filesystem::path www() const;
  // The requests served since this object was made, once every one of them
  // is logged; call after the last request. Connections are numbered from 1
  // in the order they first appear.
  std::string accessLog();

 private:
  std::filesystem::path m_root;
  int m_listener = -1;
  unsigned m_port = 0;
  long m_pid = -1;
  // Only the Windows side reads the log file itself.
  [[maybe_unused]] std::size_t m_logStart = 0;
};

}  // namespace netupdate::download::testing
