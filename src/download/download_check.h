#pragma once

#include <cstddef>
#include <string>

namespace netupdate::download {

// What an administrator's check finds out about the download stage on this
// machine, through the same code a run uses.

struct PageFileProbe {
  bool ok = false;
  std::string path;   // the file created and removed again
  std::string error;  // the file routines' text when it could not be
};

// Creates a page file where a run would write its page and removes it again.
// The page's own name is used when no file has it, otherwise the first free
// "<name>.N": a file that was there before is never opened, let alone emptied.
PageFileProbe probePageFile(const std::string& pagePath);

struct PageAddressProbe {
  bool ok = false;
  std::string statusLine;
  std::size_t size = 0;  // bytes of the body received
  std::string error;     // the HTTP client's message when the fetch failed
};

// One GET of link through the run's HTTP client; the body is counted, not kept.
PageAddressProbe probePageAddress(const std::string& link);

}  // namespace netupdate::download
