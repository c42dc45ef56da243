#include <cstddef>
#include <cstdint>
#include <string>

#include "download/http_client.h"
#include "download/testing/memory_transport.h"

// The whole response path (head, interim heads, cookies, every framing,
// error bodies) over bytes a server could send; the first byte picks how
// they are split into reads.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace netupdate::download;
  if (size == 0) return 0;
  testing::MemoryScript script;
  script.pieceSize = static_cast<std::size_t>(data[0] % 64) + 1;
  script.response.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  THttpClient client(std::make_unique<testing::MemoryConnector>(
      std::vector<testing::MemoryScript>{script, script}));
  client.RedirectBodyWait = 0;
  client.MaxLineLength = 1024;
  for (int request = 0; request < 2; ++request) {
    StringSink sink(1 << 20);
    try {
      client.Get("http://fuzz.example/dir/page.html", sink);
    } catch (const netupdate::common::Error&) {
    }
  }
  return 0;
}
