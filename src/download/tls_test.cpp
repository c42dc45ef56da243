#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "cli/testing/run_program.h"
#include "download/http_client.h"
#include "download/http_errors.h"
#include "download/testing/test_files.h"
#include "download/testing/tls_rig.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using testing::readFile;
using testing::TlsRig;
using testing::writeFile;
using Listener = TlsRig::Listener;

constexpr const char* kHandshakeFailed = "TLS handshake failed: ";

std::string patternedBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

// What one Get came to: the body, or the kind and text of its error.
std::string outcome(const std::string& url, StringSink& sink) {
  THttpClient client;
  try {
    client.Get(url, sink);
    return "body: " + sink.text();
  } catch (const ETlsError& error) {
    return std::string("tls: ") + error.what();
  } catch (const EConnectionClosed& error) {
    return std::string("closed: ") + error.what();
  } catch (const std::exception& error) {
    return std::string("other: ") + error.what();
  }
}

class TlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = TlsRig::unavailableBecause();
    if (!why.empty()) GTEST_SKIP() << why;
    m_rig.emplace();
  }
  TlsRig& rig() { return *m_rig; }

 private:
  std::optional<TlsRig> m_rig;
};

// Every listener under every name its certificate can be matched by here,
// so both name and address matching run where the platform can do them.
TEST_F(TlsTest, HandshakeOutcomes) {
  writeFile(rig().www() / "page.html", "fuel prices\n");
  struct Case {
    Listener listener;
    std::string expected;
    // Where the TLS library's own reason follows, only the start is ours.
    bool startOnly = false;
  };
  for (const std::string& host : rig().hosts()) {
    const std::vector<Case> cases{
        {Listener::Good, "body: fuel prices\n"},
        {Listener::Expired, "tls: TLS handshake failed: the server's certificate has expired."},
        {Listener::OtherName,
         "tls: TLS handshake failed: the server's certificate is not valid for " + host + "."},
        {Listener::Untrusted,
         "tls: TLS handshake failed: the server's certificate is not trusted."},
        {Listener::Plain, std::string("tls: ") + kHandshakeFailed, true},
        {Listener::HangUp, std::string("tls: ") + kHandshakeFailed, true},
    };
    for (const Case& c : cases) {
      const std::string url = rig().url("https", c.listener, host, "/page.html");
      SCOPED_TRACE(url);
      StringSink sink;
      const std::string result = outcome(url, sink);
      if (c.startOnly) {
        EXPECT_EQ(result.substr(0, c.expected.size()), c.expected) << result;
        EXPECT_GT(result.size(), c.expected.size()) << "no reason after the prefix";
      } else {
        EXPECT_EQ(result, c.expected);
      }
      if (c.listener != Listener::Good) {
        EXPECT_EQ(sink.received(), 0u);
      }
    }
  }
}

TEST_F(TlsTest, LargeFileThenChunkedPageOnOneKeptAliveConnection) {
  const std::string host = rig().hosts().front();
  const std::string large = patternedBytes(3 * 1024 * 1024 + 17);
  writeFile(rig().www() / "prices.bin", large);
  writeFile(rig().www() / "ssi" / "page.html",
            "<p><!--# echo var=\"nothing\" default=\"fuel\" --> prices</p>\n");
  THttpClient client;
  StringSink file;
  client.Get(rig().url("https", Listener::Good, host, "/prices.bin"), file);
  EXPECT_TRUE(file.text() == large) << "large file differs, " << file.text().size() << " bytes";
  StringSink page;
  client.Get(rig().url("https", Listener::Good, host, "/ssi/page.html"), page);
  EXPECT_EQ(page.text(), "<p>fuel prices</p>\n");
  EXPECT_EQ(rig().accessLog(),
            "1 GET /prices.bin HTTP/1.1 200 - -\n1 GET /ssi/page.html HTTP/1.1 200 chunked -\n");
}

TEST_F(TlsTest, BodyCutShortIsTheErrorItIsOverHttp) {
  const std::string host = rig().hosts().front();
  for (const std::string& url : {rig().url("http", Listener::Plain, host, "/cut/"),
                                 rig().url("https", Listener::Good, host, "/cut/")}) {
    SCOPED_TRACE(url);
    StringSink sink;
    EXPECT_EQ(outcome(url, sink), "closed: Connection Closed Gracefully.");
    EXPECT_EQ(sink.text(), std::string(rig().cutSent(), 'x'));
    EXPECT_LT(sink.text().size(), rig().cutLength());
  }
}

TEST_F(TlsTest, SecureCookieGoesOnlyOverHttps) {
  const std::string host = rig().hosts().front();
  THttpClient client;
  StringSink sink;
  client.Get(rig().url("https", Listener::Good, host, "/cookie/set"), sink);
  client.Get(rig().url("http", Listener::Plain, host, "/cookie/look"), sink);
  client.Get(rig().url("https", Listener::Good, host, "/cookie/look"), sink);
  EXPECT_EQ(rig().accessLog(),
            "1 GET /cookie/set HTTP/1.1 204 - -\n"
            "2 GET /cookie/look HTTP/1.1 204 - plain=2\n"
            "3 GET /cookie/look HTTP/1.1 204 - fuel=1; plain=2\n");
}

// The command-line tool trusts what the platform trusts: the test CA here,
// and not the CA that signed the untrusted listener's certificate.
TEST_F(TlsTest, FetchCommandOverHttps) {
  const std::string host = rig().hosts().front();
  const std::string large = patternedBytes(1024 * 1024 + 3);
  writeFile(rig().www() / "prices.bin", large);
  testing::TempDirectory dir("netupdate-tls-fetch");
  const std::string file = dir.file("prices.bin");
  const auto fetch = [&](Listener listener) {
    return cli::testing::runProgram(
        NETUPDATE_CLI, {"fetch", rig().url("https", listener, host, "/prices.bin"), file});
  };
  const cli::testing::ProgramRun fetched = fetch(Listener::Good);
  EXPECT_EQ(fetched.status, 0) << fetched.err;
  EXPECT_TRUE(readFile(testing::fromUtf8(file)) == large) << "fetched file differs";
  const cli::testing::ProgramRun refused = fetch(Listener::Untrusted);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "TLS handshake failed: the server's certificate is not trusted.\n");
  EXPECT_EQ(readFile(testing::fromUtf8(file)), "");
}

}  // namespace
}  // namespace netupdate::download
