#include "nav/nav_site.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>

#include "download/byte_sink.h"
#include "download/http_errors.h"
#include "nav/html_text.h"
#include "nav/page_links.h"
#include "nav/site_url.h"

namespace netupdate::nav {

namespace {

constexpr int kMaxRedirects = 5;
constexpr std::string_view kSectionPath = "/ugyfeliranytu/uzemanyag";
constexpr std::string_view kPricePages = "/ugyfeliranytu/uzemanyag/";

// Text from the network or a page, fit for a message on a terminal: no
// control characters, and not endless.
std::string shown(std::string_view text) {
  constexpr std::size_t kLongest = 200;
  std::string out;
  for (const char c : text.substr(0, kLongest)) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte < 0x20 || byte == 0x7F ? '?' : c;
  }
  if (text.size() > kLongest) out += "...";
  return out;
}

SiteUrl siteOf(const std::string& origin) {
  const std::optional<SiteUrl> site = parseSiteUrl(origin);
  if (!site || site->path != "/" || site->query) {
    throw ENavSiteError("\"" + shown(origin) +
                        "\" is not the origin of a site, such as https://nav.gov.hu.");
  }
  return *site;
}

bool isRedirect(std::int32_t code) {
  return code >= 300 && code <= 399 && code != 304;
}

// Keeps a page in memory up to the largest the reader takes, and stops the
// transfer at the first byte beyond it.
class PageSink : public download::ByteSink {
 public:
  void write(const char* data, std::size_t size) override {
    if (size > kMaxPageBytes - m_body.size()) {
      m_tooLarge = true;
      throw common::Error("The page is too large.");
    }
    m_body.append(data, size);
  }
  bool tooLarge() const { return m_tooLarge; }
  std::string take() { return std::move(m_body); }

 private:
  std::string m_body;
  bool m_tooLarge = false;
};

// Why an address on a page or in a Location is not one to go to; empty when it is.
std::string whyNotFollowed(const SiteUrl& site, const std::optional<SiteUrl>& url) {
  if (!url) return "it is not an http or https address";
  if (!url->sameOrigin(site)) return "it is not on " + site.origin();
  if (url->query) return "it has a query";
  if (url->climbs()) return "it has \"..\"";
  return {};
}

struct LinkSearch {
  std::optional<SiteUrl> followed;
  // The first link that was wanted but not followed, and why.
  std::string refused;
};

LinkSearch findLink(const NavPage& page, const SiteUrl& site,
                    const std::function<bool(const std::string& foldedText)>& wanted) {
  LinkSearch search;
  const std::optional<SiteUrl> base = parseSiteUrl(page.url);
  if (!base) return search;
  forEachLink(page.body, [&](const PageLink& link) {
    if (!wanted(foldCase(link.text))) return true;
    const std::optional<SiteUrl> url = resolveSiteUrl(*base, link.href);
    std::string why = whyNotFollowed(site, url);
    if (why.empty() && (!url->path.starts_with(kPricePages) || url->path == kPricePages)) {
      why = "it is not under " + std::string(kPricePages);
    }
    if (why.empty()) {
      search.followed = url;
      return false;
    }
    if (search.refused.empty()) {
      search.refused =
          "\"" + shown(link.text) + "\" (" + shown(link.href) + "), not followed: " + why;
    }
    return true;
  });
  return search;
}

// The year as a number of its own in the text, not part of a longer one.
bool namesYear(std::string_view text, int year) {
  const std::string digits = std::to_string(year);
  for (std::size_t at = text.find(digits); at != std::string_view::npos;
       at = text.find(digits, at + 1)) {
    const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
    const std::size_t after = at + digits.size();
    if ((at == 0 || !digit(at - 1)) && (after == text.size() || !digit(after))) return true;
  }
  return false;
}

std::string alsoRefused(const LinkSearch& search) {
  return search.refused.empty() ? "" : "; its link " + search.refused;
}

NavYear readYearPage(download::THttpClient& client, const std::string& origin, NavPage page,
                     int year) {
  try {
    NavTable table = readNavTable(page.body, year);
    return NavYear{std::move(page), std::move(table)};
  } catch (const ENavTableError& ordinary) {
    // The print form of the same page carries its content as plain markup.
    SiteUrl print = *parseSiteUrl(page.url);
    print.path = "/print" + print.path;
    print.query.reset();
    std::string printReason;
    try {
      NavPage printPage = fetchNavPage(client, origin, print.text());
      try {
        NavTable table = readNavTable(printPage.body, year);
        return NavYear{std::move(printPage), std::move(table)};
      } catch (const ENavTableError& error) {
        printReason = printPage.url + ": " + error.what();
      }
    } catch (const ENavSiteError& error) {
      printReason = error.what();
    }
    throw ENavTableError(page.url + ": " + ordinary.what() + " Its print form: " + printReason);
  }
}

}  // namespace

std::string navOrigin() {
  const char* site = std::getenv("NETUPDATE_NAV_SITE");
  return site != nullptr && *site != '\0' ? std::string(site) : "https://nav.gov.hu";
}

NavPage fetchNavPage(download::THttpClient& client, const std::string& origin,
                     const std::string& url) {
  const SiteUrl site = siteOf(origin);
  std::optional<SiteUrl> target = resolveSiteUrl(site, url);
  if (!target || !target->sameOrigin(site)) {
    throw ENavSiteError("\"" + shown(url) + "\" is not a page on " + site.origin() +
                        "; it is not fetched.");
  }
  const std::string first = target->text();
  for (int redirects = 0;; ++redirects) {
    const std::string address = target->text();
    PageSink sink;
    try {
      client.Get(address, sink);
      return NavPage{address, sink.take()};
    } catch (const download::EHttpProtocolError& error) {
      const std::string status = shown(error.what());
      if (!isRedirect(error.statusCode())) {
        std::throw_with_nested(ENavSiteError(address + " could not be fetched: " + status));
      }
      const std::string& location = error.location();
      if (location.empty()) {
        std::throw_with_nested(ENavSiteError(address + " could not be fetched: " + status +
                                             ", a redirect that says not where to."));
      }
      std::optional<SiteUrl> next = resolveSiteUrl(*target, location);
      const std::string why = whyNotFollowed(site, next);
      if (!why.empty()) {
        std::throw_with_nested(ENavSiteError(address + " redirects to " + shown(location) +
                                             ", which is not followed: " + why + "."));
      }
      if (redirects == kMaxRedirects) {
        std::throw_with_nested(ENavSiteError(
            first + " redirects more than " + std::to_string(kMaxRedirects) +
            " times (the last time to " + shown(location) + "); it is not followed further."));
      }
      target = std::move(next);
    } catch (const common::Error& error) {
      if (sink.tooLarge()) {
        throw ENavSiteError(address + " is larger than " + std::to_string(kMaxPageBytes) +
                            " bytes (8 MiB); it is not read.");
      }
      std::throw_with_nested(ENavSiteError(address + " could not be fetched: " + error.what()));
    }
  }
}

NavYear findNavYear(download::THttpClient& client, const std::string& origin, int year) {
  const SiteUrl site = siteOf(origin);
  const auto yearLink = [year](const std::string& text) {
    return namesYear(text, year) && text.find("alkalmaz") != std::string::npos;
  };
  const auto archiveLink = [](const std::string& text) {
    return text.find("korábbi év") != std::string::npos;
  };

  const NavPage section = fetchNavPage(client, origin, site.origin() + std::string(kSectionPath));
  LinkSearch found = findLink(section, site, yearLink);
  if (!found.followed) {
    const LinkSearch archive = findLink(section, site, archiveLink);
    if (!archive.followed) {
      throw ENavSiteError(section.url + " links no page for " + std::to_string(year) +
                          alsoRefused(found) + ", and no archive page (\"Korábbi években…\")" +
                          alsoRefused(archive) + ".");
    }
    const NavPage archivePage = fetchNavPage(client, origin, archive.followed->text());
    const LinkSearch older = findLink(archivePage, site, yearLink);
    if (!older.followed) {
      throw ENavSiteError("Neither " + section.url + " nor its archive page " + archivePage.url +
                          " links a page for " + std::to_string(year) + alsoRefused(found) +
                          alsoRefused(older) + ".");
    }
    found = older;
  }
  NavPage page = fetchNavPage(client, origin, found.followed->text());
  return readYearPage(client, origin, std::move(page), year);
}

}  // namespace netupdate::nav
