#include "nav/nav_site.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "common/testing/test_names.h"
#include "download/http_errors.h"
#include "download/testing/test_server.h"

namespace netupdate::nav {
namespace {

using download::testing::RefusingPort;
using download::testing::ServerConnection;
using download::testing::TestServer;

const std::string kSection = "/ugyfeliranytu/uzemanyag";
const std::string kArchive = "/ugyfeliranytu/uzemanyag/Korabbi_evben_alkalma20150212";

std::string response(const std::string& status, const std::string& headers,
                     const std::string& body) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: text/html; charset=utf-8\r\n" + headers +
         "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A copy of the site on loopback: each path answers with what the test set,
// anything else with 404. It records the paths asked for, in order.
class FakeSite {
 public:
  FakeSite() : m_server([this](ServerConnection& connection) { serve(connection); }) {}

  std::string origin() const { return "http://127.0.0.1:" + std::to_string(m_server.port()); }
  void page(const std::string& path, const std::string& body) {
    m_answers[path] = response("200 OK", "", body);
  }
  void redirect(const std::string& path, const std::string& location) {
    m_answers[path] = response("302 Found", "Location: " + location + "\r\n", "moved");
  }
  std::vector<std::string> paths() const {
    std::vector<std::string> paths;
    for (const std::string& head : m_server.requests()) {
      const std::size_t start = head.find(' ') + 1;
      paths.push_back(head.substr(start, head.find(' ', start) - start));
    }
    return paths;
  }

 private:
  void serve(ServerConnection& connection) {
    while (connection.readRequest()) {
      const std::vector<std::string> asked = paths();
      const auto answer = m_answers.find(asked.back());
      connection.send(answer != m_answers.end() ? answer->second
                                                : response("404 Not Found", "", "nothing here"));
    }
  }

  // Set before the first request, read by the server's threads after.
  std::map<std::string, std::string> m_answers;
  TestServer m_server;
};

std::string link(const std::string& href, const std::string& text) {
  return "<li><a class=\"menu\" href=\"" + href + "\">" + text + "</a></li>\n";
}

std::string html(const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>\n" +
         link(kSection, "Üzemanyagárak") +
         link("/ugyfeliranytu/uzemanyag/$acpid0x1484110x116?lang=en", "English") + body +
         "</body></html>";
}

std::string yearTable(int year, const std::string& price) {
  return "<table><tbody><tr><td>" + std::to_string(year) +
         ".év</td><td>ESZ-95 (Ft/l)</td><td>Gázolaj (Ft/l)</td></tr>"
         "<tr><td>január</td><td><p>" +
         price + "</p></td><td>-</td></tr></tbody></table>";
}

// A link inside the page data: the markup as a JSON string, HTML-escaped.
std::string escapedLink(const std::string& href, const std::string& text) {
  std::string escapedHref;
  for (const char c : href) escapedHref += c == '/' ? std::string("\\/") : std::string(1, c);
  return "&lt;a href=\\&quot;" + escapedHref + "\\&quot;&gt;" + text + "&lt;\\/a&gt;";
}

std::string pageData(const std::string& escapedMarkup) {
  return "<script type=\"application/json\">{&quot;content&quot;:&quot;&lt;ul&gt;" + escapedMarkup +
         "&lt;\\/ul&gt;&quot;}</script><div id=\"app\"></div>";
}

double january(const NavYear& found) {
  return found.table.months[0][0].value_or(-1);
}

TEST(FindNavYear, FollowsTheSectionPagesLinkPastOnesItMayNotFollow) {
  FakeSite site;
  const std::string path = "/ugyfeliranytu/uzemanyag/2026-ban-alkalmazhato-uzemanyagarak";
  site.page(kSection,
            html(link("https://example.org" + path, "2026-ban alkalmazható üzemanyagárak") +
                 link(path + "?lang=en", "2026-ban alkalmazható üzemanyagárak") +
                 link("/ugyfeliranytu/2026", "2026-ban alkalmazható üzemanyagárak") +
                 link(" " + path + "#top ", "<span>2026-ban</span><br>alkalmazható üzemanyagárak") +
                 link("/ugyfeliranytu/uzemanyag/2025", "2025-ben alkalmazható üzemanyagárak") +
                 link(kArchive, "Korábbi években alkalmazott üzemanyagárak")));
  site.page(path, html(yearTable(2026, "572")));

  download::THttpClient client;
  const NavYear found = findNavYear(client, site.origin(), 2026);
  EXPECT_EQ(found.page.url, site.origin() + path);
  EXPECT_EQ(found.table.year, 2026);
  EXPECT_EQ(january(found), 572);
  EXPECT_EQ(site.paths(), (std::vector<std::string>{kSection, path}));
}

// 2018 is on the archive page, which the section page links in its page
// data; both hops are redirected, and the year's ordinary page carries no
// table but its print form does.
TEST(FindNavYear, ReachesAnOldYearThroughTheArchiveRedirectsAndThePrintForm) {
  FakeSite site;
  site.page(kSection,
            html(pageData(escapedLink("/ugyfeliranytu/uzemanyag/2026",
                                      "2026-ban alkalmazhat\\u00f3 \\u00fczemanyag\\u00e1rak") +
                          escapedLink(kArchive,
                                      "Kor\\u00e1bbi \\u00e9vekben alkalmazott "
                                      "\\u00fczemanyag\\u00e1rak"))));
  site.redirect(kArchive, "/ugyfeliranytu/uzemanyag/archivum");
  site.page("/ugyfeliranytu/uzemanyag/archivum",
            html(link("2014_uzemanyagarak", "2014-ben alkalmazott üzemanyagárak") +
                 link("2018_uzemanyagarak", "2018-ban alkalmazott &uuml;zemanyag&aacute;rak")));
  site.redirect("/ugyfeliranytu/uzemanyag/2018_uzemanyagarak",
                site.origin() + "/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/");
  site.page("/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/", html(pageData("")));
  site.page("/print/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/", yearTable(2018, "366"));

  download::THttpClient client;
  const NavYear found = findNavYear(client, site.origin(), 2018);
  EXPECT_EQ(found.page.url, site.origin() + "/print/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/");
  EXPECT_EQ(found.page.body, yearTable(2018, "366"));
  EXPECT_EQ(january(found), 366);
  EXPECT_EQ(site.paths(),
            (std::vector<std::string>{kSection, kArchive, "/ugyfeliranytu/uzemanyag/archivum",
                                      "/ugyfeliranytu/uzemanyag/2018_uzemanyagarak",
                                      "/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/",
                                      "/print/ugyfeliranytu/uzemanyag/2018_uzemanyagarak/"}));
}

TEST(FindNavYear, APageWithoutTheYearsTableInEitherFormIsATableError) {
  FakeSite site;
  const std::string path = "/ugyfeliranytu/uzemanyag/2026";
  site.page(kSection, html(link(path, "2026-ban alkalmazható üzemanyagárak")));
  site.page(path, html(yearTable(2025, "572")));
  download::THttpClient client;
  try {
    findNavYear(client, site.origin(), 2026);
    FAIL() << "found a table";
  } catch (const ENavTableError& error) {
    EXPECT_EQ(error.what(), site.origin() + path +
                                ": The page has no table for 2026, only one for 2025. Its print "
                                "form: " +
                                site.origin() + "/print" + path +
                                " could not be fetched: HTTP/1.1 404 Not Found");
  }
}

TEST(FetchNavPage, FollowsFiveRedirects) {
  FakeSite site;
  for (int i = 0; i < 5; ++i) {
    site.redirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
  }
  site.page("/r5", "fifth");
  download::THttpClient client;
  const NavPage page = fetchNavPage(client, site.origin(), "/r0");
  EXPECT_EQ(page.url, site.origin() + "/r5");
  EXPECT_EQ(page.body, "fifth");
}

struct RefusalCase {
  const char* name;
  // Sets the site up; "ORIGIN" and "OTHER" in texts stand for the site's
  // origin and another origin that must never be asked anything.
  std::function<void(FakeSite&, const std::string& other)> setUp;
  int year;  // 0: fetchNavPage of path instead
  std::string path;
  std::string message;
  std::vector<std::string> paths;
};

void PrintTo(const RefusalCase& c, std::ostream* out) {
  *out << c.name;
}

std::string replaced(std::string text, const std::string& origin, const std::string& other) {
  for (const auto& [name, value] : {std::pair{"ORIGIN", origin}, std::pair{"OTHER", other}}) {
    for (std::size_t at; (at = text.find(name)) != std::string::npos;) {
      text.replace(at, std::string_view(name).size(), value);
    }
  }
  return text;
}

class SiteRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(SiteRefusalTest, NamesThePageAndWhy) {
  const RefusalCase& c = GetParam();
  FakeSite site;
  FakeSite other;
  const auto text = [&](const std::string& t) {
    return replaced(t, site.origin(), other.origin());
  };
  c.setUp(site, other.origin());
  download::THttpClient client;
  try {
    if (c.year != 0) {
      findNavYear(client, site.origin(), c.year);
    } else {
      fetchNavPage(client, site.origin(), text(c.path));
    }
    FAIL() << "no refusal";
  } catch (const ENavSiteError& error) {
    EXPECT_EQ(error.what(), text(c.message));
  }
  EXPECT_EQ(site.paths(), c.paths);
  EXPECT_TRUE(other.paths().empty());
}

const auto kNothing = [](FakeSite&, const std::string&) {};

std::function<void(FakeSite&, const std::string&)> redirectsTo(std::string location) {
  return [location](FakeSite& site, const std::string& other) {
    site.redirect("/a", replaced(location, site.origin(), other));
  };
}

void sectionAndArchive(FakeSite& site, const std::string& other) {
  site.page(kSection, html(link(kArchive, "Korábbi években alkalmazott üzemanyagárak")));
  site.page(kArchive, html(link("/ugyfeliranytu/uzemanyag/../2024", "2024-ben alkalmazható") +
                           link(other + "/ugyfeliranytu/uzemanyag/2024", "2024-ben alkalmazható") +
                           link("/ugyfeliranytu/uzemanyag/2014", "2014-ben alkalmazott")));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, SiteRefusalTest,
    ::testing::Values(
        RefusalCase{"redirect to another origin",
                    redirectsTo("OTHER/ugyfeliranytu/uzemanyag"),
                    0,
                    "/a",
                    "ORIGIN/a redirects to OTHER/ugyfeliranytu/uzemanyag, which is not followed: "
                    "it is not on ORIGIN.",
                    {"/a"}},
        RefusalCase{"redirect to another scheme",
                    redirectsTo("https://127.0.0.1:1/x"),
                    0,
                    "/a",
                    "ORIGIN/a redirects to https://127.0.0.1:1/x, which is not followed: it is "
                    "not on ORIGIN.",
                    {"/a"}},
        RefusalCase{"redirect with a query",
                    redirectsTo("/b?lang=en"),
                    0,
                    "/a",
                    "ORIGIN/a redirects to /b?lang=en, which is not followed: it has a query.",
                    {"/a"}},
        RefusalCase{"redirect climbing",
                    redirectsTo("b/%2E%2e/../c"),
                    0,
                    "/a",
                    "ORIGIN/a redirects to b/%2E%2e/../c, which is not followed: it has \"..\".",
                    {"/a"}},
        RefusalCase{"six redirects",
                    [](FakeSite& site, const std::string&) {
                      for (int i = 0; i < 6; ++i) {
                        site.redirect("/r" + std::to_string(i), "/r" + std::to_string(i + 1));
                      }
                      site.page("/r6", "too far");
                    },
                    0,
                    "/r0",
                    "ORIGIN/r0 redirects more than 5 times (the last time to /r6); it is not "
                    "followed further.",
                    {"/r0", "/r1", "/r2", "/r3", "/r4", "/r5"}},
        RefusalCase{"a page on another origin",
                    kNothing,
                    0,
                    "OTHER/ugyfeliranytu/uzemanyag",
                    "\"OTHER/ugyfeliranytu/uzemanyag\" is not a page on ORIGIN; it is not fetched.",
                    {}},
        RefusalCase{"a page over 8 MiB",
                    [](FakeSite& site, const std::string&) {
                      site.page("/big", std::string(kMaxPageBytes + 1, 'x'));
                    },
                    0,
                    "/big",
                    "ORIGIN/big is larger than 8388608 bytes (8 MiB); it is not read.",
                    {"/big"}},
        RefusalCase{"no section page",
                    kNothing,
                    2026,
                    "",
                    "ORIGIN/ugyfeliranytu/uzemanyag could not be fetched: HTTP/1.1 404 Not Found",
                    {kSection}},
        RefusalCase{"a section page without the year or an archive",
                    [](FakeSite& site, const std::string&) {
                      site.page(kSection, html(link("/ugyfeliranytu/uzemanyag/2026?x=1",
                                                    "2026-ban alkalmazható üzemanyagárak")));
                    },
                    2026,
                    "",
                    "ORIGIN/ugyfeliranytu/uzemanyag links no page for 2026; its link \"2026-ban "
                    "alkalmazható üzemanyagárak\" (/ugyfeliranytu/uzemanyag/2026?x=1), not "
                    "followed: it has a query, and no archive page (\"Korábbi években…\").",
                    {kSection}},
        RefusalCase{"a year linked nowhere",
                    sectionAndArchive,
                    2013,
                    "",
                    "Neither ORIGIN/ugyfeliranytu/uzemanyag nor its archive page ORIGIN" +
                        kArchive + " links a page for 2013.",
                    {kSection, kArchive}},
        RefusalCase{"a year linked only where it may not be followed",
                    sectionAndArchive,
                    2024,
                    "",
                    "Neither ORIGIN/ugyfeliranytu/uzemanyag nor its archive page ORIGIN" +
                        kArchive +
                        " links a page for 2024; its link \"2024-ben alkalmazható\" "
                        "(/ugyfeliranytu/uzemanyag/../2024), not followed: it has \"..\".",
                    {kSection, kArchive}}),
    [](const auto& param) { return common::testNameOf(param.param.name); });

TEST(FetchNavPage, KeepsTheDownloadErrorInside) {
  RefusingPort refusing;
  const std::string origin = "http://127.0.0.1:" + std::to_string(refusing.port);
  download::THttpClient client;
  try {
    fetchNavPage(client, origin, kSection);
    FAIL() << "fetched from a closed port";
  } catch (const ENavSiteError& error) {
    const std::string message = error.what();
    EXPECT_EQ(message.rfind(origin + kSection + " could not be fetched: Socket Error # 10061", 0),
              0u)
        << message;
    try {
      std::rethrow_if_nested(error);
      FAIL() << "nothing nested";
    } catch (const download::ESocketError& inner) {
      EXPECT_EQ(inner.code(), download::kWsaConnectionRefused);
    }
  }
}

TEST(FetchNavPage, RefusesAnOriginThatIsNone) {
  download::THttpClient client;
  for (const std::string origin : {"ftp://nav.gov.hu", "nav.gov.hu", "https://nav.gov.hu/x",
                                   "https://user@nav.gov.hu", "https://nav.gov.hu:99999"}) {
    EXPECT_THROW(fetchNavPage(client, origin, kSection), ENavSiteError) << origin;
  }
}

}  // namespace
}  // namespace netupdate::nav
