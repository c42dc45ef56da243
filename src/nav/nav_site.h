#pragma once

#include <string>

#include "common/error.h"
#include "download/http_client.h"
#include "nav/nav_table.h"

namespace netupdate::nav {

// NAV's current site: where a year's fuel-price page is and how it is fetched.

// NETUPDATE_NAV_SITE when set and not empty (for tests and diagnostics),
// else "https://nav.gov.hu".
std::string navOrigin();

struct NavPage {
  std::string url;  // where the page was fetched, after redirects
  std::string body;
};

// A page that can't be found or fetched: the message names the page (its
// URL) and why. Raised with std::throw_with_nested over the download error
// where there was one, so a caller can find an ETlsError inside.
class ENavSiteError : public common::Error {
  using common::Error::Error;
};

// GET of url (a whole URL or a path on origin) with redirects: at most 5, each
// to an address on origin (scheme, host and port) with no query and no "..";
// a Location may be a whole URL or a path, resolved against the request. Any
// other redirect is an error naming its Location, raised before anything
// connects to it. A body over kMaxPageBytes is an error.
NavPage fetchNavPage(download::THttpClient& client, const std::string& origin,
                     const std::string& url);

struct NavYear {
  NavPage page;
  NavTable table;
};

// The year's page and its table: the section page /ugyfeliranytu/uzemanyag
// first, then the archive page it links ("Korábbi években…"), following only
// links on origin, under /ugyfeliranytu/uzemanyag/, with no query and no "..".
// The year's link is the one whose text names the year and "alkalmaz". When
// the ordinary page has no readable table, its print form ("/print" before
// the path) is tried. Throws ENavSiteError when the page can't be found or
// fetched, ENavTableError (naming the page) when it has no usable table.
NavYear findNavYear(download::THttpClient& client, const std::string& origin, int year);

}  // namespace netupdate::nav
