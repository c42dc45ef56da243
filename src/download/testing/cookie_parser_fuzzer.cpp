#include <cstddef>
#include <cstdint>
#include <string_view>

#include "download/cookie_date.h"
#include "download/cookie_store.h"

// Set-Cookie values, one per line, as a server could send them, then the
// Cookie header they lead to.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace netupdate::download;
  std::string_view input(reinterpret_cast<const char*>(data), size);
  parseCookieDate(input);
  CookieStore store;
  const CookieRequest request{"www.example.org", "/dir/page", false};
  std::int64_t now = 1'600'000'000;
  while (!input.empty()) {
    const std::size_t end = input.find('\n');
    store.setCookie(input.substr(0, end), request, now++);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
  }
  store.cookieHeader(request, now);
  store.cookieHeader({"example.org", "/", true}, now + 100000);
  return 0;
}
