#include "nav/site_url.h"

#include "common/ascii.h"

namespace netupdate::nav {

namespace {

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string defaultPort(std::string_view scheme) {
  return scheme == "https" ? "443" : "80";
}

// Bytes a request line can't carry as they are become %XX; a '%' already
// escaping something stays.
std::string escapedForRequest(std::string_view text) {
  static const char* const kHex = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = byte > 0x20 && byte < 0x7F && c != '"' && c != '<' && c != '>' &&
                       c != '\\' && c != '^' && c != '`' && c != '{' && c != '|' && c != '}';
    if (plain) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

// "host[:port]" into its parts; false when it is not a host name, an IPv4
// or a bracketed IPv6 address with an optional port in range.
bool splitAuthority(std::string_view authority, SiteUrl& url) {
  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    const std::size_t close = authority.find(']');
    if (close == std::string_view::npos) return false;
    host = authority.substr(0, close + 1);
    const std::string_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return false;
      port = rest.substr(1);
    }
    for (const char c : host.substr(1, host.size() - 2)) {
      if (!isDigit(c) && !isLetter(c) && c != ':' && c != '.') return false;
    }
  } else {
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
      host = authority.substr(0, colon);
      port = authority.substr(colon + 1);
    }
    for (const char c : host) {
      if (!isDigit(c) && !isLetter(c) && c != '-' && c != '.') return false;
    }
  }
  if (host.empty() || host == "[]") return false;
  unsigned long number = 0;
  for (const char c : port) {
    if (!isDigit(c) || port.size() > 5) return false;
    number = number * 10 + static_cast<unsigned long>(c - '0');
  }
  if (!port.empty() && (number == 0 || number > 65535)) return false;
  url.host = common::lowerAscii(host);
  url.port = std::to_string(number);
  if (port.empty() || url.port == defaultPort(url.scheme)) url.port.clear();
  return true;
}

// Path and query of a reference, fragment dropped.
void setPathAndQuery(std::string_view rest, SiteUrl& url) {
  const std::size_t question = rest.find('?');
  url.path = escapedForRequest(rest.substr(0, question));
  if (url.path.empty()) url.path = "/";
  url.query.reset();
  if (question != std::string_view::npos) url.query = escapedForRequest(rest.substr(question + 1));
}

// Browsers drop tabs and line ends anywhere in a URL and blanks around it;
// editors leave both in hrefs.
std::string cleaned(std::string_view reference) {
  std::string out;
  for (const char c : reference) {
    if (c != '\t' && c != '\n' && c != '\r') out += c;
  }
  const std::size_t first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  out.erase(out.find_last_not_of(' ') + 1);
  out.erase(0, first);
  const std::size_t hash = out.find('#');
  if (hash != std::string::npos) out.erase(hash);
  return out;
}

// A merged path without its "." segments; ".." stays for climbs() to see.
std::string withoutDotSegments(std::string_view path) {
  std::string out;
  std::size_t pos = 0;
  while (pos < path.size()) {
    std::size_t end = path.find('/', pos + 1);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view segment = path.substr(pos, end - pos);
    if (segment != "/.") out += segment;
    if (segment == "/." && end == path.size()) out += '/';
    pos = end;
  }
  return out.empty() ? "/" : out;
}

}  // namespace

std::string SiteUrl::origin() const {
  return scheme + "://" + host + (port.empty() ? "" : ":" + port);
}

std::string SiteUrl::text() const {
  return origin() + path + (query ? "?" + *query : "");
}

bool SiteUrl::sameOrigin(const SiteUrl& other) const {
  return scheme == other.scheme && host == other.host && port == other.port;
}

bool SiteUrl::climbs() const {
  std::size_t pos = 0;
  while (pos <= path.size()) {
    std::size_t end = path.find('/', pos);
    if (end == std::string::npos) end = path.size();
    std::string segment = common::lowerAscii(std::string_view(path).substr(pos, end - pos));
    for (std::size_t dot; (dot = segment.find("%2e")) != std::string::npos;) {
      segment.replace(dot, 3, ".");
    }
    if (segment == "..") return true;
    pos = end + 1;
  }
  return false;
}

std::optional<SiteUrl> parseSiteUrl(std::string_view text) {
  const std::size_t colon = text.find("://");
  if (colon == std::string_view::npos) return std::nullopt;
  SiteUrl url;
  url.scheme = common::lowerAscii(text.substr(0, colon));
  if (url.scheme != "http" && url.scheme != "https") return std::nullopt;
  const std::string_view rest = text.substr(colon + 3);
  const std::size_t authorityEnd = rest.find_first_of("/?#");
  const std::string_view authority = rest.substr(0, authorityEnd);
  if (authority.find('@') != std::string_view::npos) return std::nullopt;
  if (!splitAuthority(authority, url)) return std::nullopt;
  if (authorityEnd != std::string_view::npos) {
    std::string_view tail = rest.substr(authorityEnd);
    tail = tail.substr(0, tail.find('#'));
    setPathAndQuery(tail, url);
    url.path = withoutDotSegments(url.path);
  }
  return url;
}

std::optional<SiteUrl> resolveSiteUrl(const SiteUrl& base, std::string_view reference) {
  const std::string ref = cleaned(reference);
  std::size_t schemeEnd = 0;
  while (schemeEnd < ref.size() &&
         (isLetter(ref[schemeEnd]) || isDigit(ref[schemeEnd]) || ref[schemeEnd] == '+' ||
          ref[schemeEnd] == '-' || ref[schemeEnd] == '.')) {
    ++schemeEnd;
  }
  if (schemeEnd > 0 && schemeEnd < ref.size() && ref[schemeEnd] == ':' && isLetter(ref[0])) {
    return parseSiteUrl(ref);
  }
  if (ref.starts_with("//")) return parseSiteUrl(base.scheme + ":" + ref);
  SiteUrl url = base;
  if (ref.empty()) return url;
  if (ref.front() == '?') {
    url.query = escapedForRequest(std::string_view(ref).substr(1));
    return url;
  }
  if (ref.front() == '/') {
    setPathAndQuery(ref, url);
  } else {
    const std::string directory = base.path.substr(0, base.path.rfind('/') + 1);
    setPathAndQuery(directory + ref, url);
  }
  url.path = withoutDotSegments(url.path);
  return url;
}

}  // namespace netupdate::nav
