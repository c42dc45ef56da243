#include "download/cookie_store.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "common/testing/test_names.h"
#include "download/cookie_date.h"

namespace netupdate::download {
namespace {

constexpr std::int64_t kNow = 1'600'000'000;  // 2020-09-13

struct DateCase {
  const char* text;
  std::optional<std::int64_t> expected;
};

void PrintTo(const DateCase& c, std::ostream* out) {
  *out << '"' << c.text << '"';
}

class CookieDateTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(CookieDateTest, ReadsTheDateOrRejectsIt) {
  EXPECT_EQ(parseCookieDate(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Dates, CookieDateTest,
    ::testing::Values(
        // The three formats servers use, all the same instant.
        DateCase{"Sun, 06 Nov 1994 08:49:37 GMT", 784111777},
        DateCase{"Sunday, 06-Nov-94 08:49:37 GMT", 784111777},
        DateCase{"Sun Nov  6 08:49:37 1994", 784111777}, DateCase{"06 nov 1994 8:49:37", 784111777},
        DateCase{"Thu, 01 Jan 1970 00:00:00 GMT", 0}, DateCase{"1 January 2020 0:0:0", 1577836800},
        DateCase{"01 Jan 69 00:00:00", secondsSinceEpoch(2069, 1, 1, 0, 0, 0)},
        DateCase{"29 Feb 2000 00:00:00", secondsSinceEpoch(2000, 2, 29, 0, 0, 0)},
        DateCase{"1 Jan 1601 00:00:00", secondsSinceEpoch(1601, 1, 1, 0, 0, 0)},
        DateCase{"31 Dec 9999 23:59:59", secondsSinceEpoch(9999, 12, 31, 23, 59, 59)},
        // The first token that fits a part wins, later ones are ignored.
        DateCase{"1 Jan 2020 10:00:00 2 Feb 2021 11:00:00", 1577872800},
        DateCase{"1 Jan 2020 10:00:00GMT+02", 1577872800},
        DateCase{"31 Dec 1600 23:59:59", std::nullopt},
        DateCase{"30 Feb 2020 00:00:00", std::nullopt},
        DateCase{"29 Feb 1900 00:00:00", std::nullopt},
        DateCase{"31 Apr 2020 00:00:00", std::nullopt},
        DateCase{"32 Jan 2020 00:00:00", std::nullopt},
        DateCase{"0 Jan 2020 00:00:00", std::nullopt},
        DateCase{"1 Jan 2020 24:00:00", std::nullopt},
        DateCase{"1 Jan 2020 00:60:00", std::nullopt},
        DateCase{"1 Jan 2020 00:00:60", std::nullopt}, DateCase{"1 Jan 2020", std::nullopt},
        DateCase{"1 2020 00:00:00", std::nullopt}, DateCase{"1 Jan 5 00:00:00", std::nullopt},
        // Three digits are no day but a year, so the day is then missing.
        DateCase{"123 Jan 2020 00:00:00", std::nullopt},
        DateCase{"1 Jan 20200 00:00:00", std::nullopt}, DateCase{"", std::nullopt},
        DateCase{"1 Jan 2020 100:00:00", std::nullopt}),
    [](const auto& param) { return common::testNameOf(param.param.text); });

TEST(CookieMatching, DomainMatch) {
  EXPECT_TRUE(domainMatches("example.com", "example.com"));
  EXPECT_TRUE(domainMatches("www.example.com", "example.com"));
  EXPECT_TRUE(domainMatches("a.b.example.com", "example.com"));
  EXPECT_FALSE(domainMatches("badexample.com", "example.com"));
  EXPECT_FALSE(domainMatches("example.com", "www.example.com"));
  EXPECT_FALSE(domainMatches("example.com.", "example.com"));
  // An address has no parent domain.
  EXPECT_FALSE(domainMatches("10.0.0.1", "0.0.1"));
  EXPECT_TRUE(domainMatches("10.0.0.1", "10.0.0.1"));
}

// Only a host in the strict dotted form is an address; anything near it is a
// name, and a name does have parent domains.
TEST(CookieMatching, AddressesAreToldFromNames) {
  const struct {
    const char* host;
    const char* domain;
    bool matches;
  } cases[] = {
      {"0.0.0.0", "0.0", false},       {"255.255.255.255", "255.255", false},
      {"192.168.1.20", "1.20", false}, {"::1", "1", false},
      {"256.0.0.1", "0.0.1", true},    {"1.2.3.4.5", "3.4.5", true},
      {"01.0.0.1", "0.0.1", true},     {"1..2.3", "2.3", true},
      {"1.2.3.4.", "4.", true},        {"+1.2.3.4", "2.3.4", true},
      {"1.2.3.0x4", "3.0x4", true},    {"1000.2.3.4", "2.3.4", true},
      {"a.1.2.3", "1.2.3", true},
  };
  for (const auto& c : cases) EXPECT_EQ(domainMatches(c.host, c.domain), c.matches) << c.host;
}

TEST(CookieMatching, PathMatch) {
  EXPECT_TRUE(pathMatches("/", "/"));
  EXPECT_TRUE(pathMatches("/dir", "/dir"));
  EXPECT_TRUE(pathMatches("/dir/", "/dir"));
  EXPECT_TRUE(pathMatches("/dir/page", "/dir"));
  EXPECT_TRUE(pathMatches("/dir/page", "/dir/"));
  EXPECT_TRUE(pathMatches("/anything", "/"));
  EXPECT_FALSE(pathMatches("/dirt", "/dir"));
  EXPECT_FALSE(pathMatches("/di", "/dir"));
  EXPECT_FALSE(pathMatches("/Dir/page", "/dir"));
}

TEST(CookieMatching, DefaultPath) {
  EXPECT_EQ(defaultPath(""), "/");
  EXPECT_EQ(defaultPath("page"), "/");
  EXPECT_EQ(defaultPath("/"), "/");
  EXPECT_EQ(defaultPath("/page"), "/");
  EXPECT_EQ(defaultPath("/dir/page"), "/dir");
  EXPECT_EQ(defaultPath("/dir/sub/"), "/dir/sub");
}

struct Received {
  const char* setCookie;
  const char* host;
  const char* path;
  std::int64_t at = kNow;
};

struct StoreCase {
  const char* name;
  std::vector<Received> received;
  CookieRequest request;
  std::int64_t at;
  const char* expected;
};

void PrintTo(const StoreCase& c, std::ostream* out) {
  *out << c.name;
}

class CookieStoreTest : public ::testing::TestWithParam<StoreCase> {};

TEST_P(CookieStoreTest, SendsTheCookiesThatApply) {
  const StoreCase& c = GetParam();
  CookieStore store;
  for (const Received& received : c.received) {
    store.setCookie(received.setCookie, CookieRequest{received.host, received.path, false},
                    received.at);
  }
  EXPECT_EQ(store.cookieHeader(c.request, c.at), c.expected);
}

const CookieRequest kHome{"home.example.org", "/", false};

INSTANTIATE_TEST_SUITE_P(
    Rules, CookieStoreTest,
    ::testing::Values(
        StoreCase{"Plain", {{"a=b", "home.example.org", "/"}}, kHome, kNow, "a=b"},
        StoreCase{"WhitespaceTrimmed",
                  {{" a = b c ; Path = / ", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=b c"},
        StoreCase{"NoEqualsSignIgnored", {{"foo", "home.example.org", "/"}}, kHome, kNow, ""},
        StoreCase{"EmptyNameIgnored", {{"=bar", "home.example.org", "/"}}, kHome, kNow, ""},
        StoreCase{"EmptyValueKept", {{"a=", "home.example.org", "/"}}, kHome, kNow, "a="},
        StoreCase{"QuotesKept", {{"a=\"b; c\"", "home.example.org", "/"}}, kHome, kNow, "a=\"b"},
        StoreCase{
            "LongerPathFirst",
            {{"a=1; Path=/", "home.example.org", "/"}, {"b=2; Path=/dir", "home.example.org", "/"}},
            {"home.example.org", "/dir/page", false},
            kNow,
            "b=2; a=1"},
        StoreCase{"EarlierCreatedFirst",
                  {{"b=2", "home.example.org", "/"}, {"a=1", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "b=2; a=1"},
        StoreCase{"ReplacementKeepsItsPlace",
                  {{"a=1", "home.example.org", "/"},
                   {"b=2", "home.example.org", "/"},
                   {"a=3", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=3; b=2"},
        StoreCase{
            "SameNameOtherPathIsAnotherCookie",
            {{"a=1; Path=/", "home.example.org", "/"}, {"a=2; Path=/dir", "home.example.org", "/"}},
            {"home.example.org", "/dir", false},
            kNow,
            "a=2; a=1"},
        StoreCase{"DefaultPathFromRequest",
                  {{"a=1", "home.example.org", "/dir/page"}},
                  {"home.example.org", "/other", false},
                  kNow,
                  ""},
        StoreCase{"PathNotSlashMeansDefault",
                  {{"a=1; Path=x", "home.example.org", "/dir/page"}},
                  {"home.example.org", "/dir/x", false},
                  kNow,
                  "a=1"},
        StoreCase{"LastPathWins",
                  {{"a=1; Path=/x; Path=/", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=1"},
        StoreCase{"HostOnlyNotForSubdomain",
                  {{"a=1", "example.org", "/"}},
                  {"www.example.org", "/", false},
                  kNow,
                  ""},
        StoreCase{"DomainReachesSubdomains",
                  {{"a=1; Domain=.Example.ORG", "WWW.example.org", "/"}},
                  {"sub.example.org", "/", false},
                  kNow,
                  "a=1"},
        StoreCase{"ForeignDomainRefused",
                  {{"a=1; Domain=other.org", "home.example.org", "/"}},
                  {"other.org", "/", false},
                  kNow,
                  ""},
        StoreCase{"SubdomainOfHostRefused",
                  {{"a=1; Domain=deep.home.example.org", "home.example.org", "/"}},
                  {"deep.home.example.org", "/", false},
                  kNow,
                  ""},
        StoreCase{"EmptyDomainMeansHostOnly",
                  {{"a=1; Domain=", "home.example.org", "/"}},
                  {"sub.home.example.org", "/", false},
                  kNow,
                  ""},
        StoreCase{"AddressGetsNoParentDomain",
                  {{"a=1; Domain=0.0.1", "127.0.0.1", "/"}},
                  {"127.0.0.1", "/", false},
                  kNow,
                  ""},
        StoreCase{"MaxAgeZeroDeletes",
                  {{"a=1", "home.example.org", "/"}, {"a=1; max-age=0", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  ""},
        StoreCase{"NegativeMaxAgeDeletes",
                  {{"a=1", "home.example.org", "/"}, {"a=1; Max-Age=-5", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  ""},
        StoreCase{
            "MaxAgeRunsOut", {{"a=1; Max-Age=10", "home.example.org", "/"}}, kHome, kNow + 11, ""},
        StoreCase{"MaxAgeStillRunning",
                  {{"a=1; Max-Age=10", "home.example.org", "/"}},
                  kHome,
                  kNow + 9,
                  "a=1"},
        StoreCase{
            "MaxAgeBeatsExpiresWhateverTheOrder",
            {{"a=1; Max-Age=100; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "home.example.org", "/"}},
            kHome,
            kNow,
            "a=1"},
        StoreCase{"BadMaxAgeIgnored",
                  {{"a=1; Max-Age=+5", "home.example.org", "/"},
                   {"b=2; Max-Age=5x", "home.example.org", "/"}},
                  kHome,
                  kNow + 100,
                  "a=1; b=2"},
        StoreCase{"PastExpiresDeletes",
                  {{"a=1", "home.example.org", "/"},
                   {"a=1; Expires=Thu, 01 Jan 1970 00:00:00 GMT", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  ""},
        StoreCase{"FutureExpiresKept",
                  {{"a=1; Expires=Fri, 01 Jan 2100 00:00:00 GMT", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=1"},
        StoreCase{"BadExpiresIgnored",
                  {{"a=1; Expires=someday", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=1"},
        StoreCase{"SecureNotOverPlainHttp",
                  {{"a=1; secure", "home.example.org", "/"}, {"b=2", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "b=2"},
        StoreCase{"SecureOverHttps",
                  {{"a=1; Secure", "home.example.org", "/"}},
                  {"home.example.org", "/", true},
                  kNow,
                  "a=1"},
        StoreCase{"HttpOnlyGoesOverHttp",
                  {{"a=1; HttpOnly", "home.example.org", "/"}},
                  kHome,
                  kNow,
                  "a=1"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CookieStore, KeepsTheAttributesOfEachCookie) {
  CookieStore store;
  store.setCookie("a=1; Domain=example.org; Path=/p; Max-Age=60; Secure; HttpOnly",
                  {"www.example.org", "/", false}, kNow);
  store.setCookie("b=2", {"www.example.org", "/dir/page", false}, kNow);
  ASSERT_EQ(store.cookies().size(), 2u);
  const Cookie& a = store.cookies()[0];
  EXPECT_EQ(a.domain, "example.org");
  EXPECT_EQ(a.path, "/p");
  EXPECT_EQ(a.expiry, kNow + 60);
  EXPECT_TRUE(a.persistent);
  EXPECT_FALSE(a.hostOnly);
  EXPECT_TRUE(a.secureOnly);
  EXPECT_TRUE(a.httpOnly);
  const Cookie& b = store.cookies()[1];
  EXPECT_EQ(b.domain, "www.example.org");
  EXPECT_EQ(b.path, "/dir");
  EXPECT_FALSE(b.persistent);
  EXPECT_TRUE(b.hostOnly);
}

TEST(CookieStore, ExpiredCookiesLeaveBeforeTheNextRequest) {
  CookieStore store;
  store.setCookie("a=1; Max-Age=5", kHome, kNow);
  store.setCookie("b=2", kHome, kNow);
  EXPECT_EQ(store.cookieHeader(kHome, kNow + 10), "b=2");
  EXPECT_EQ(store.cookies().size(), 1u);
}

}  // namespace
}  // namespace netupdate::download
