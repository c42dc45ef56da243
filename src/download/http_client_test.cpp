#include "download/http_client.h"

#include <gtest/gtest.h>

#include <functional>

#include "download/testing/test_server.h"

namespace netupdate::download {
namespace {

using namespace std::chrono_literals;
using testing::RefusingPort;
using testing::ServerConnection;
using testing::TestServer;

const std::string kUserAgentLine = "User-Agent: Mozilla/3.0 (compatible; netupdate)\r\n";

struct Outcome {
  bool succeeded = false;
  std::string message;
  std::string body;
};

Outcome fetch(THttpClient& client, const std::string& url) {
  StringSink sink;
  Outcome outcome;
  try {
    client.Get(url, sink);
    outcome.succeeded = true;
  } catch (const common::Error& error) {
    outcome.message = error.what();
  }
  outcome.body = sink.text();
  return outcome;
}

enum class End { Close, Reset, WaitForClient };

// Answers every request on a connection with the same bytes, then ends the
// connection the given way.
TestServer::Handler answer(std::string response, End end = End::WaitForClient) {
  return [response = std::move(response), end](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send(response);
    if (end == End::Close) connection.close();
    if (end == End::Reset) connection.reset();
    if (end == End::WaitForClient) {
      while (connection.readRequest()) connection.send(response);
    }
  };
}

struct ResponseCase {
  const char* name;
  std::string response;
  End end;
  bool succeeds;
  std::string message;
  std::string body;
};

class ResponseTest : public ::testing::TestWithParam<ResponseCase> {};

void PrintTo(const ResponseCase& c, std::ostream* out) {
  *out << c.name;
}

constexpr const char* kResetAfterData =
    "a reset right behind the data: only where unread data survives a reset (not on Windows)";

TEST_P(ResponseTest, OutcomeAndSinkAsExpected) {
  const ResponseCase& c = GetParam();
  if (c.end == End::Reset && !c.body.empty() && !testing::unreadDataSurvivesReset()) {
    GTEST_SKIP() << kResetAfterData;
  }
  TestServer server(answer(c.response, c.end));
  THttpClient client;
  client.RedirectBodyWait = 50;
  client.ReadTimeout = 10000;
  const Outcome outcome = fetch(client, server.url("/page.html"));
  EXPECT_EQ(outcome.succeeded, c.succeeds);
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_EQ(outcome.body, c.body);
  // Whatever the status, the client asked once and followed nothing.
  EXPECT_EQ(server.requests().size(), 1u);
}

const std::string kTruncatedBody(20000, 'h');

INSTANTIATE_TEST_SUITE_P(
    Outcomes, ResponseTest,
    ::testing::Values(
        ResponseCase{"Ok", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", End::WaitForClient,
                     true, "", "hello"},
        ResponseCase{"OtherSuccess", "HTTP/1.1 203 Fine\r\nContent-Length: 2\r\n\r\nhi",
                     End::WaitForClient, true, "", "hi"},
        ResponseCase{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", End::WaitForClient, true, "",
                     ""},
        ResponseCase{"SwitchingProtocols", "HTTP/1.1 101 Switching\r\nUpgrade: x\r\n\r\nraw",
                     End::WaitForClient, true, "", ""},
        ResponseCase{"InterimSkipped",
                     "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX: y\r\n\r\n"
                     "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
                     End::WaitForClient, true, "", "ok"},
        ResponseCase{"MovedWithBody",
                     "HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:1/\r\n"
                     "Content-Length: 5\r\n\r\nmoved",
                     End::WaitForClient, false, "HTTP/1.1 301 Moved Permanently", ""},
        ResponseCase{"FoundWithoutBodyData",
                     "HTTP/1.1 302 Found\r\nLocation: /elsewhere\r\n\r\n", End::WaitForClient,
                     false, "HTTP/1.1 302 Found", ""},
        ResponseCase{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", End::WaitForClient,
                     false, "HTTP/1.1 304 Not Modified", ""},
        ResponseCase{"Unauthorized",
                     "HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"x\"\r\n"
                     "Content-Length: 4\r\n\r\nauth",
                     End::WaitForClient, false, "HTTP/1.1 401 Unauthorized", ""},
        ResponseCase{"ProxyAuthentication",
                     "HTTP/1.1 407 Proxy Authentication Required\r\n"
                     "Proxy-Authenticate: NTLM\r\nContent-Length: 0\r\n\r\n",
                     End::WaitForClient, false, "HTTP/1.1 407 Proxy Authentication Required", ""},
        ResponseCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nerror page",
                     End::WaitForClient, false, "HTTP/1.1 404 Not Found", ""},
        ResponseCase{"ServerErrorUntilClose", "HTTP/1.0 503 Busy\r\n\r\ntry later", End::Close,
                     false, "HTTP/1.0 503 Busy", ""},
        ResponseCase{"UnreadableStatus", "HTTP/1.1 OK\r\n\r\n", End::Close, false,
                     "HTTP/1.1 OK", ""},
        ResponseCase{"StatusWithoutCode", "garbage\r\nX: y\r\n\r\n", End::Close, false, "garbage",
                     ""},
        ResponseCase{"NonAsciiStatus", "HTTP/1.1 500 Hib\xE1s\r\nContent-Length: 0\r\n\r\n",
                     End::WaitForClient, false, "HTTP/1.1 500 Hib\xEF\xBF\xBDs", ""},
        ResponseCase{"Chunked",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: Gzip, CHUNKED\r\n\r\n"
                     "5;name=\"v\"\r\nhello\r\n1\r\n!\r\n0\r\nX-Checksum: 1\r\n\r\n",
                     End::WaitForClient, true, "", "hello!"},
        ResponseCase{"ChunkSizeNotHex",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "5\r\nhello\r\nzz\r\nnever\r\n",
                     End::Close, true, "", "hello"},
        ResponseCase{"ChunkedCutShort",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", End::Close,
                     false, "Connection Closed Gracefully.", "hel"},
        ResponseCase{"ChunkedWinsOverLength",
                     "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: chunked\r\n\r\n"
                     "3\r\nabc\r\n0\r\n\r\n",
                     End::WaitForClient, true, "", "abc"},
        // A truncated page must not pass for a complete one.
        ResponseCase{"LengthCutShortByClose",
                     "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n123456", End::Close, false,
                     "Connection Closed Gracefully.", "123456"},
        ResponseCase{"LengthCutShortByReset",
                     "HTTP/1.1 200 OK\r\nContent-Length: 30000\r\n\r\n" + kTruncatedBody,
                     End::Reset, false, "Socket Error # 10054\r\nConnection reset by peer.",
                     kTruncatedBody},
        ResponseCase{"LengthZero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
                     End::WaitForClient, true, "", ""},
        ResponseCase{"NegativeLengthMeansUntilClose",
                     "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\nall of it", End::Close, true, "",
                     "all of it"},
        ResponseCase{"Multipart",
                     "HTTP/1.1 206 Partial\r\nContent-Type: multipart/byteranges; boundary=SEP\r\n"
                     "\r\n--SEP\r\nbody\r\n--SEP--tail of line\r\nnot body",
                     End::WaitForClient, true, "", "--SEP\r\nbody\r\n--SEP--"},
        ResponseCase{"MultipartEndedByClose",
                     "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=SEP\r\n\r\n--SEP",
                     End::Close, true, "", "--SEP"},
        ResponseCase{"UntilClose", "HTTP/1.0 200 OK\r\nServer: old\r\n\r\nuntil the end",
                     End::Close, true, "", "until the end"},
        ResponseCase{"UntilResetStillSucceeds", "HTTP/1.0 200 OK\r\n\r\nuntil the reset",
                     End::Reset, true, "", "until the reset"},
        ResponseCase{"CompressedStoredAsReceived",
                     "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 6\r\n\r\n" +
                         std::string("\x1F\x8B\x08\x00\xFF\x00", 6),
                     End::WaitForClient, true, "", std::string("\x1F\x8B\x08\x00\xFF\x00", 6)},
        ResponseCase{"ClosedBeforeStatus", "", End::Close, false, "Connection Closed Gracefully.",
                     ""},
        ResponseCase{"ClosedInsideStatusLine", "HTTP/1.1 200", End::Close, false,
                     "Connection Closed Gracefully.", ""},
        ResponseCase{"ClosedBeforeFirstHeader", "HTTP/1.1 200 OK\r\n", End::Close, false,
                     "Connection Closed Gracefully.", ""},
        ResponseCase{"ClosedAfterAHeaderLine", "HTTP/1.1 200 OK\r\nServer: x\r\n", End::Close,
                     true, "", ""},
        ResponseCase{"BareLineFeeds", "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc",
                     End::WaitForClient, true, "", "abc"},
        ResponseCase{"LongHeaderLine",
                     "HTTP/1.1 200 OK\r\nX-Long: " + std::string(20000, 'a') + "\r\n\r\n",
                     End::WaitForClient, false, "Max line length exceeded.", ""},
        ResponseCase{"LongStatusLine", "HTTP/1.1 200 " + std::string(16380, 'a') + "\r\n\r\n",
                     End::WaitForClient, false, "Max line length exceeded.", ""},
        ResponseCase{"LongestAcceptedLine",
                     "HTTP/1.1 200 OK\r\nX: " + std::string(16380, 'a') +
                         "\r\nContent-Length: 1\r\n\r\n!",
                     End::WaitForClient, true, "", "!"},
        ResponseCase{"LongChunkSizeLine",
                     "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" +
                         std::string(17000, '0') + "1\r\n",
                     End::WaitForClient, false, "Max line length exceeded.", ""},
        ResponseCase{"EndlessHeaders",
                     [] {
                       std::string head = "HTTP/1.1 200 OK\r\n";
                       for (int i = 0; i < 1000; ++i) head += "X-" + std::to_string(i) + ": v\r\n";
                       return head + "\r\n";
                     }(),
                     End::WaitForClient, false,
                     "Too many header lines in the response (more than 1000).", ""}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(HttpClient, ArrivalInTinyPiecesChangesNothing) {
  const std::string response =
      "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n3\r\nefg\r\n0\r\n\r\n";
  TestServer server([&](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.sendInPieces(response, 1, 1ms);
    connection.waitForClientClose();
  });
  THttpClient client;
  const Outcome outcome = fetch(client, server.url("/"));
  EXPECT_TRUE(outcome.succeeded) << outcome.message;
  EXPECT_EQ(outcome.body, "abcdefg");
}

TEST(HttpClient, ErrorCarriesStatusAndBody) {
  TestServer server(answer("HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\ngone"));
  THttpClient client;
  StringSink sink;
  try {
    client.Get(server.url("/missing"), sink);
    FAIL() << "404 succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_EQ(error.statusCode(), 404);
    EXPECT_EQ(error.body(), "gone");
  }
}

TEST(HttpClient, SendsExactlyTheRequestHead) {
  TestServer server(answer("HTTP/1.1 204 No Content\r\n\r\n"));
  const std::string port = std::to_string(server.port());
  THttpClient client;
  for (const char* path : {"/nav/archiv/2018_uzemanyagarak.html", "/a?b#c", ""}) {
    EXPECT_TRUE(fetch(client, server.url(path)).succeeded);
  }
  const std::string rest = "Host: 127.0.0.1:" + port +
                           "\r\n"
                           "Accept: text/html, */*\r\n" +
                           kUserAgentLine + "\r\n";
  const std::vector<std::string> expected{
      "GET /nav/archiv/2018_uzemanyagarak.html HTTP/1.1\r\n" + rest, "GET /a?b HTTP/1.1\r\n" + rest,
      "GET / HTTP/1.1\r\n" + rest};
  EXPECT_EQ(server.requests(), expected);
}

TEST(HttpClient, NeverSendsCredentials) {
  TestServer server(
      answer("HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"r\"\r\n"
             "WWW-Authenticate: NTLM\r\nContent-Length: 0\r\n\r\n"));
  THttpClient client;
  EXPECT_EQ(fetch(client, server.url("/")).message, "HTTP/1.1 401 Unauthorized");
  EXPECT_EQ(fetch(client, server.url("/")).message, "HTTP/1.1 401 Unauthorized");
  for (const std::string& request : server.requests()) {
    EXPECT_EQ(request.find("Authorization"), std::string::npos) << request;
  }
}

TEST(HttpClient, SecondRequestCarriesTheCookieOnTheKeptConnection) {
  TestServer server(answer(
      "HTTP/1.1 200 OK\r\nSet-Cookie: session=abc; Path=/\r\nSet-Cookie: other=1; Path=/nope\r\n"
      "Content-Length: 2\r\n\r\nok"));
  THttpClient client;
  EXPECT_TRUE(fetch(client, server.url("/page.html")).succeeded);
  EXPECT_TRUE(fetch(client, server.url("/page.html")).succeeded);
  const auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].find("Cookie"), std::string::npos);
  EXPECT_NE(requests[1].find(kUserAgentLine + "Cookie: session=abc\r\n\r\n"), std::string::npos)
      << requests[1];
  EXPECT_EQ(server.connectionCount(), 1);
}

TEST(HttpClient, CookieFromAnInterimHeadIsKept) {
  TestServer server(
      answer("HTTP/1.1 100 Continue\r\nSet-Cookie: early=1\r\n\r\n"
             "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"));
  THttpClient client;
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_NE(server.requests().at(1).find("Cookie: early=1\r\n"), std::string::npos);
}

TEST(HttpClient, ConnectionCloseIsHonoured) {
  TestServer server(answer("HTTP/1.1 200 OK\r\nConnection:  Close \r\nContent-Length: 1\r\n\r\nx"));
  THttpClient client;
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_EQ(server.connectionCount(), 2);
}

TEST(HttpClient, ConnectionClosedByPeerIsNotReused) {
  std::atomic<int> served{0};
  TestServer server([&](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx");
    ++served;
    connection.close();
  });
  THttpClient client;
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  server.waitForHandlers();
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  server.waitForHandlers();
  EXPECT_EQ(server.connectionCount(), 2);
  EXPECT_EQ(served, 2);
}

TEST(HttpClient, BadAddressLeavesTheKeptConnectionAlone) {
  TestServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx"));
  THttpClient client;
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_EQ(fetch(client, "gopher://127.0.0.1/").message, "Unknown Protocol");
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_EQ(server.connectionCount(), 1);
}

TEST(HttpClient, OtherPortGetsItsOwnConnection) {
  TestServer first(answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n1"));
  TestServer second(answer("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n2"));
  THttpClient client;
  EXPECT_EQ(fetch(client, first.url("/")).body, "1");
  EXPECT_EQ(fetch(client, second.url("/")).body, "2");
  EXPECT_EQ(fetch(client, first.url("/")).body, "1");
  EXPECT_EQ(first.connectionCount(), 2);
  EXPECT_EQ(second.connectionCount(), 1);
}

TEST(HttpClient, ShutsDownSendingBeforeClosing) {
  std::atomic<bool> orderlyClose{false};
  TestServer server([&](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
    orderlyClose = connection.waitForClientClose();
  });
  {
    THttpClient client;
    EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  }
  server.waitForHandlers();
  EXPECT_TRUE(orderlyClose);
}

TEST(HttpClient, SilentServerTimesOut) {
  TestServer server([](ServerConnection& connection) {
    if (connection.readRequest()) connection.waitForClientClose();
  });
  THttpClient client;
  client.ReadTimeout = 100;
  EXPECT_EQ(fetch(client, server.url("/")).message, "Read timed out.");
}

TEST(HttpClient, StalledBodyTimesOutKeepingWhatCame) {
  TestServer server([](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n1234");
    connection.waitForClientClose();
  });
  THttpClient client;
  client.ReadTimeout = 100;
  const Outcome outcome = fetch(client, server.url("/"));
  EXPECT_EQ(outcome.message, "Read timed out.");
  EXPECT_EQ(outcome.body, "1234");
}

TEST(HttpClient, ConnectAttemptTimesOut) {
  // A listener whose queue is full drops new connection attempts unanswered.
  const testing::RawSocket listener = testing::loopbackSocket();
  testing::startListening(listener, 0);
  const std::uint16_t port = testing::localPort(listener);
  std::vector<testing::RawSocket> fillers;
  for (int i = 0; i < 2; ++i) fillers.push_back(testing::startConnecting(port));
  THttpClient client;
  client.ConnectTimeout = 200;
  EXPECT_EQ(fetch(client, "http://127.0.0.1:" + std::to_string(port) + "/").message,
            "Connect timed out.");
  for (const testing::RawSocket filler : fillers) testing::closeSocket(filler);
  testing::closeSocket(listener);
}

TEST(HttpClient, FailuresBeforeAnyExchange) {
  RefusingPort refusing;
  const std::vector<std::pair<std::string, std::string>> cases{
      {"http://127.0.0.1:" + std::to_string(refusing.port) + "/",
       "Socket Error # 10061\r\nConnection refused."},
      {"http://nonexistent.invalid/", "Socket Error # 11001\r\nHost not found."},
      {"ftp://127.0.0.1/file", "Unknown Protocol"},
      {"https://127.0.0.1:" + std::to_string(refusing.port) + "/",
       "Socket Error # 10061\r\nConnection refused."},
  };
  THttpClient client;
  for (const auto& [url, message] : cases) EXPECT_EQ(fetch(client, url).message, message) << url;
}

TEST(HttpClient, SinkFailureIsAStreamWriteError) {
  struct FailingSink : ByteSink {
    void write(const char*, std::size_t) override { throw std::runtime_error("disk full"); }
  };
  TestServer server(answer("HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc"));
  THttpClient client;
  FailingSink sink;
  try {
    client.Get(server.url("/"), sink);
    FAIL() << "write failure ignored";
  } catch (const common::Error& error) {
    EXPECT_STREQ(error.what(), "Stream write error");
  }
  // The half-read connection is dropped, so the next request starts clean.
  EXPECT_TRUE(fetch(client, server.url("/")).succeeded);
  EXPECT_EQ(server.connectionCount(), 2);
}

TEST(HttpClient, ResetMidBodyKeepsWhatCameAndRecovers) {
  if (!testing::unreadDataSurvivesReset()) GTEST_SKIP() << kResetAfterData;
  std::atomic<int> connections{0};
  TestServer server([&](ServerConnection& connection) {
    if (!connection.readRequest()) return;
    if (++connections == 1) {
      connection.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npart");
      connection.reset();
      return;
    }
    connection.send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\nfull");
    connection.waitForClientClose();
  });
  THttpClient client;
  const Outcome cut = fetch(client, server.url("/"));
  EXPECT_EQ(cut.message, "Socket Error # 10054\r\nConnection reset by peer.");
  EXPECT_EQ(cut.body, "part");
  EXPECT_EQ(fetch(client, server.url("/")).body, "full");
}

}  // namespace
}  // namespace netupdate::download
