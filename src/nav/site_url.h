#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace netupdate::nav {

// An http or https address on NAV's site, as the finder follows it: scheme
// and host in lower case, no user name, no fragment. Paths keep what the
// page wrote, with the bytes a request line can't carry percent-encoded.
struct SiteUrl {
  std::string scheme;  // "http" or "https"
  std::string host;    // an IPv6 literal keeps its brackets
  std::string port;    // empty for the scheme's default
  std::string path = "/";
  std::optional<std::string> query;

  // "scheme://host[:port]", the part two addresses must share to be on one site.
  std::string origin() const;
  std::string text() const;
  bool sameOrigin(const SiteUrl& other) const;
  // A ".." segment, written plainly or percent-encoded.
  bool climbs() const;
};

// A whole http or https URL; nullopt for anything else.
std::optional<SiteUrl> parseSiteUrl(std::string_view text);

// A reference as a page or a Location header writes it (a whole URL, "//host/…",
// "/path", "path" or "?query"), resolved against base; nullopt when it is no
// http or https address.
std::optional<SiteUrl> resolveSiteUrl(const SiteUrl& base, std::string_view reference);

}  // namespace netupdate::nav
