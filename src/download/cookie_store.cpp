#include "download/cookie_store.h"

#include <algorithm>
#include <optional>

#include "download/cookie_date.h"
#include "download/response_head.h"

namespace netupdate::download {

namespace {

constexpr std::int64_t kEarliest = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
// A server answering many requests of one client must not grow the store
// without limit; this is the least the RFC asks a user agent to keep.
constexpr std::size_t kMaxCookies = 3000;

std::string_view trimWhitespace(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// Dotted-decimal IPv4 in its one strict form: four numbers of 0 to 255, no
// leading zeros, nothing else. An IPv6 literal is the only host with a colon.
bool isIpAddress(std::string_view host) {
  if (host.find(':') != std::string_view::npos) return true;
  int parts = 0;
  for (;;) {
    const std::size_t dot = host.find('.');
    const std::string_view part = host.substr(0, dot);
    if (part.empty() || part.size() > 3 || (part.size() > 1 && part.front() == '0')) return false;
    int value = 0;
    for (const char c : part) {
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    if (value > 255 || ++parts > 4) return false;
    if (dot == std::string_view::npos) return parts == 4;
    host.remove_prefix(dot + 1);
  }
}

struct ParsedCookie {
  std::string name;
  std::string value;
  std::optional<std::int64_t> expires;
  std::optional<std::int64_t> maxAge;
  std::optional<std::string> domain;
  std::optional<std::string> path;
  bool secure = false;
  bool httpOnly = false;
};

std::optional<std::int64_t> maxAgeExpiry(std::string_view value, std::int64_t now) {
  if (value.empty() || !(value.front() == '-' || (value.front() >= '0' && value.front() <= '9'))) {
    return std::nullopt;
  }
  const bool negative = value.front() == '-';
  const std::string_view digits = negative ? value.substr(1) : value;
  if (digits.empty()) return std::nullopt;
  std::int64_t delta = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    delta = delta > (kLatest - 9) / 10 ? kLatest : delta * 10 + (c - '0');
  }
  if (negative || delta == 0) return kEarliest;
  return delta > kLatest - now ? kLatest : now + delta;
}

std::optional<ParsedCookie> parseSetCookie(std::string_view header, const CookieRequest& request,
                                           std::int64_t now) {
  const std::size_t semicolon = header.find(';');
  const std::string_view nameValue = header.substr(0, semicolon);
  std::string_view attributes =
      semicolon == std::string_view::npos ? std::string_view() : header.substr(semicolon);
  const std::size_t equals = nameValue.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  ParsedCookie cookie;
  cookie.name = trimWhitespace(nameValue.substr(0, equals));
  cookie.value = trimWhitespace(nameValue.substr(equals + 1));
  if (cookie.name.empty()) return std::nullopt;

  while (!attributes.empty()) {
    attributes.remove_prefix(1);
    const std::size_t next = attributes.find(';');
    const std::string_view av = attributes.substr(0, next);
    attributes = next == std::string_view::npos ? std::string_view() : attributes.substr(next);
    const std::size_t avEquals = av.find('=');
    const std::string_view name = trimWhitespace(av.substr(0, avEquals));
    const std::string_view value = avEquals == std::string_view::npos
                                       ? std::string_view()
                                       : trimWhitespace(av.substr(avEquals + 1));

    if (equalsIgnoringCase(name, "Expires")) {
      if (const auto expiry = parseCookieDate(value)) cookie.expires = *expiry;
    } else if (equalsIgnoringCase(name, "Max-Age")) {
      if (const auto expiry = maxAgeExpiry(value, now)) cookie.maxAge = *expiry;
    } else if (equalsIgnoringCase(name, "Domain")) {
      if (value.empty()) continue;
      cookie.domain = lowerAscii(value.front() == '.' ? value.substr(1) : value);
    } else if (equalsIgnoringCase(name, "Path")) {
      cookie.path =
          value.empty() || value.front() != '/' ? defaultPath(request.path) : std::string(value);
    } else if (equalsIgnoringCase(name, "Secure")) {
      cookie.secure = true;
    } else if (equalsIgnoringCase(name, "HttpOnly")) {
      cookie.httpOnly = true;
    }
  }
  return cookie;
}

}  // namespace

bool domainMatches(std::string_view host, std::string_view domain) {
  if (host == domain) return true;
  return host.size() > domain.size() && host.ends_with(domain) &&
         host[host.size() - domain.size() - 1] == '.' && !isIpAddress(host);
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
  if (requestPath == cookiePath) return true;
  if (!requestPath.starts_with(cookiePath)) return false;
  return (!cookiePath.empty() && cookiePath.back() == '/') ||
         (requestPath.size() > cookiePath.size() && requestPath[cookiePath.size()] == '/');
}

std::string defaultPath(std::string_view requestPath) {
  if (requestPath.empty() || requestPath.front() != '/') return "/";
  const std::size_t last = requestPath.rfind('/');
  if (last == 0) return "/";
  return std::string(requestPath.substr(0, last));
}

void CookieStore::setCookie(std::string_view header, const CookieRequest& request,
                            std::int64_t now) {
  auto parsed = parseSetCookie(header, request, now);
  if (!parsed) return;
  const std::string host = lowerAscii(request.host);

  Cookie cookie;
  cookie.name = std::move(parsed->name);
  cookie.value = std::move(parsed->value);
  cookie.creation = cookie.lastAccess = now;
  cookie.creationOrder = m_nextCreationOrder++;
  if (parsed->maxAge) {
    cookie.persistent = true;
    cookie.expiry = *parsed->maxAge;
  } else if (parsed->expires) {
    cookie.persistent = true;
    cookie.expiry = *parsed->expires;
  } else {
    cookie.expiry = kLatest;
  }
  const std::string domain = parsed->domain.value_or(std::string());
  if (!domain.empty()) {
    // A server may scope a cookie to its own domain or a parent, never to another site.
    if (!domainMatches(host, domain)) return;
    cookie.hostOnly = false;
    cookie.domain = domain;
  } else {
    cookie.hostOnly = true;
    cookie.domain = host;
  }
  cookie.path = parsed->path ? *parsed->path : defaultPath(request.path);
  cookie.secureOnly = parsed->secure;
  cookie.httpOnly = parsed->httpOnly;

  const auto old = std::find_if(m_cookies.begin(), m_cookies.end(), [&](const Cookie& existing) {
    return existing.name == cookie.name && existing.domain == cookie.domain &&
           existing.path == cookie.path;
  });
  if (old != m_cookies.end()) {
    cookie.creation = old->creation;
    cookie.creationOrder = old->creationOrder;
    m_cookies.erase(old);
  }
  m_cookies.push_back(std::move(cookie));
  // A cookie set already expired is how a server deletes one.
  removeExpired(now);
  if (m_cookies.size() > kMaxCookies) {
    const auto stalest =
        std::min_element(m_cookies.begin(), m_cookies.end(), [](const Cookie& a, const Cookie& b) {
          return a.lastAccess != b.lastAccess ? a.lastAccess < b.lastAccess
                                              : a.creationOrder < b.creationOrder;
        });
    m_cookies.erase(stalest);
  }
}

void CookieStore::removeExpired(std::int64_t now) {
  std::erase_if(m_cookies, [now](const Cookie& cookie) { return cookie.expiry < now; });
}

std::string CookieStore::cookieHeader(const CookieRequest& request, std::int64_t now) {
  removeExpired(now);
  const std::string host = lowerAscii(request.host);
  std::vector<Cookie*> matching;
  for (Cookie& cookie : m_cookies) {
    const bool domainOk =
        cookie.hostOnly ? host == cookie.domain : domainMatches(host, cookie.domain);
    if (domainOk && pathMatches(request.path, cookie.path) &&
        (!cookie.secureOnly || request.secure)) {
      matching.push_back(&cookie);
    }
  }
  std::stable_sort(matching.begin(), matching.end(), [](const Cookie* a, const Cookie* b) {
    if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
    return a->creationOrder < b->creationOrder;
  });
  std::string header;
  for (Cookie* cookie : matching) {
    cookie->lastAccess = now;
    if (!header.empty()) header += "; ";
    header += cookie->name + "=" + cookie->value;
  }
  return header;
}

}  // namespace netupdate::download
