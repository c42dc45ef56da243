#include "download/download_check.h"

#include <exception>
#include <optional>

#include "download/byte_sink.h"
#include "download/file_sink.h"
#include "download/http_client.h"

namespace netupdate::download {

namespace {

// Enough free names for leftovers of earlier checks; more means something
// else is going on in that folder, and the probe says so rather than guess.
constexpr int kNameAttempts = 20;

}  // namespace

PageFileProbe probePageFile(const std::string& pagePath) {
  PageFileProbe probe;
  try {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
      const std::string path = attempt == 0 ? pagePath : pagePath + "." + std::to_string(attempt);
      std::optional<FileSink> file = FileSink::createNew(path);
      if (!file) continue;
      probe.path = path;
      // Closed before it is removed: Windows refuses to delete an open file.
      try {
        file->close();
      } catch (...) {
        removeFile(path);
        throw;
      }
      removeFile(path);
      probe.ok = true;
      return probe;
    }
    probe.error = "Every name from \"" + fullPath(pagePath) + "\" to \"" + fullPath(pagePath) +
                  "." + std::to_string(kNameAttempts - 1) + "\" is taken.";
  } catch (const std::exception& error) {
    probe.error = error.what();
  }
  return probe;
}

PageAddressProbe probePageAddress(const std::string& link) {
  PageAddressProbe probe;
  THttpClient client;
  StringSink body(0);
  try {
    client.Get(link, body);
    probe.ok = true;
  } catch (const std::exception& error) {
    probe.error = error.what();
  }
  probe.statusLine = client.StatusLine();
  probe.size = body.received();
  return probe;
}

}  // namespace netupdate::download
