#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "parse/feldolgoz.h"
#include "parse/testing/literal_scanner.h"

// Every input goes through the real file path (a temporary file) and must
// give the same table as the literal reading of the rules, which shares no
// code with the fast path.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string path = [] {
    char name[] = "/tmp/feldolgoz_fuzzer.XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) std::abort();
    ::close(fd);
    return std::string(name);
  }();
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size != 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);

  netupdate::common::THaviArak got;
  netupdate::parse::Feldolgoz(path, got);

  netupdate::common::THaviArak want;
  netupdate::parse::testing::literalParse(
      std::string_view(reinterpret_cast<const char*>(data), size), want);
  if (!(got == want)) std::abort();
  return 0;
}
