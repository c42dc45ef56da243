#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace netupdate::download {

// What the cookie rules need to know of the request a cookie came with or
// will go with.
struct CookieRequest {
  std::string host;  // as in the URL; compared in lower case
  std::string path;  // the request target's path, without the query
  bool secure = false;
};

struct Cookie {
  std::string name;
  std::string value;
  std::string domain;
  std::string path;
  std::int64_t expiry = std::numeric_limits<std::int64_t>::max();
  std::int64_t creation = 0;
  std::int64_t lastAccess = 0;
  // Breaks ties between cookies created in the same second.
  std::uint64_t creationOrder = 0;
  bool persistent = false;
  bool hostOnly = false;
  bool secureOnly = false;
  bool httpOnly = false;
};

// The cookies one client has been given, in memory only, kept and returned by
// the rules of RFC 6265. Times are seconds since the epoch, passed in so that
// the rules can be checked without a clock.
class CookieStore {
 public:
  // Takes one Set-Cookie header value received in answer to request.
  void setCookie(std::string_view header, const CookieRequest& request, std::int64_t now);
  // Drops expired cookies, then returns the Cookie header value for the
  // request ("" when no cookie applies).
  std::string cookieHeader(const CookieRequest& request, std::int64_t now);
  void removeExpired(std::int64_t now);
  const std::vector<Cookie>& cookies() const { return m_cookies; }

 private:
  std::vector<Cookie> m_cookies;
  std::uint64_t m_nextCreationOrder = 0;
};

// The building blocks of those rules, open for their own tests.
bool domainMatches(std::string_view host, std::string_view domain);
bool pathMatches(std::string_view requestPath, std::string_view cookiePath);
std::string defaultPath(std::string_view requestPath);

}  // namespace netupdate::download
