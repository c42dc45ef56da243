#include "download/response_reader.h"

#include <gtest/gtest.h>

#include "download/http_client.h"
#include "download/testing/memory_transport.h"

namespace netupdate::download {
namespace {

using testing::MemoryConnector;
using testing::MemoryScript;

TEST(StatusLine, CodeIsReadOrMinusOne) {
  const std::vector<std::pair<const char*, std::int32_t>> cases{
      {"HTTP/1.1 200 OK", 200},
      {"HTTP/1.0 404 Not Found", 404},
      {"HTTP/1.1  301   Moved", 301},
      {"HTTP/1.1 200", 200},
      {"HTTP/1.1 200.5 Odd", 200},
      {"HTTP/1.1 2x0 Bad", -1},
      {"HTTP/1.1", -1},
      {"HTTP/1.1 ", -1},
      {"garbage", -1},
      {"", -1},
      {"HTTP/1.1 99999999999 Huge", -1},
  };
  for (const auto& [line, code] : cases) EXPECT_EQ(statusCodeOf(line), code) << line;
}

TEST(ResponseHeadLookup, CaseInsensitiveFirstWinsWithContinuations) {
  ResponseHead head;
  head.addLine("content-type: text/html");
  head.addLine("X-Long: first");
  head.addLine(" \tsecond");
  head.addLine("Content-Type: text/plain");
  head.addLine("no colon here");
  head.addLine("Content-Length:  -5 ");
  EXPECT_EQ(head.header("CONTENT-TYPE"), "text/html");
  EXPECT_EQ(head.header("x-long"), "first second");
  EXPECT_EQ(head.header("Missing"), std::nullopt);
  EXPECT_EQ(head.contentLength(), std::nullopt);
  EXPECT_EQ(head.headers("content-type").size(), 2u);
}

TEST(ResponseHeadLookup, ContentLengthMustBeANonNegativeInteger) {
  const std::vector<std::pair<const char*, std::optional<std::int64_t>>> cases{
      {"0", 0},
      {"12", 12},
      {" 7 ", 7},
      {"-1", std::nullopt},
      {"1x", std::nullopt},
      {"", std::nullopt},
      {"99999999999999999999", std::nullopt}};
  for (const auto& [value, expected] : cases) {
    ResponseHead head;
    head.addLine(std::string("Content-Length: ") + value);
    EXPECT_EQ(head.contentLength(), expected) << value;
  }
}

TEST(HeadDecoding, BytesAboveAsciiBecomeReplacementCharacters) {
  EXPECT_EQ(decodeHeadLine("HTTP/1.1 404 N\xE9m"), "HTTP/1.1 404 N\xEF\xBF\xBDm");
  EXPECT_EQ(decodeHeadLine("plain"), "plain");
}

TEST(ChunkSize, HexBeforeExtensionElseZero) {
  const std::vector<std::pair<const char*, std::int64_t>> cases{
      {"5", 5},   {"1A", 26}, {"1a;name=value", 26}, {" ff ; x", 255},         {"zz", 0}, {"", 0},
      {"5 5", 0}, {"-5", 0},  {"0x10", 0},           {"FFFFFFFFFFFFFFFFFF", 0}};
  for (const auto& [line, size] : cases) EXPECT_EQ(chunkSizeOf(line), size) << line;
}

TEST(MultipartBoundary, OnlyForMultipartMediaTypes) {
  EXPECT_EQ(multipartBoundaryOf("multipart/byteranges; boundary=XyZ"), "XyZ");
  EXPECT_EQ(multipartBoundaryOf("Multipart/Mixed;charset=x; Boundary=\"a b\""), "a b");
  EXPECT_EQ(multipartBoundaryOf("multipart/mixed"), "");
  EXPECT_EQ(multipartBoundaryOf("text/html; boundary=x"), std::nullopt);
  EXPECT_EQ(multipartBoundaryOf(""), std::nullopt);
}

struct Outcome {
  bool succeeded = false;
  std::string message;
  std::string body;
};

using Records = std::vector<std::shared_ptr<testing::MemoryRecord>>;

Outcome fetchScripted(std::vector<MemoryScript> scripts, Records* records = nullptr) {
  auto connector = std::make_unique<MemoryConnector>(std::move(scripts));
  MemoryConnector& connectorRef = *connector;
  THttpClient client(std::move(connector));
  client.RedirectBodyWait = 0;
  StringSink sink;
  Outcome outcome;
  try {
    client.Get("http://example.org/page.html", sink);
    outcome.succeeded = true;
  } catch (const common::Error& error) {
    outcome.message = error.what();
  }
  outcome.body = sink.text();
  if (records != nullptr) *records = connectorRef.records();
  return outcome;
}

struct MatrixCase {
  const char* name;
  std::string response;
  bool succeeds;
  std::string body;
  // A reset ends a body read until close, as a close would.
  bool resetEndsBody = false;
};

void PrintTo(const MatrixCase& c, std::ostream* out) {
  *out << c.name;
}

class FailMatrixTest : public ::testing::TestWithParam<MatrixCase> {};

// Every read the client makes is made to fail once, in turn: each error path
// runs (under the sanitizers in their build), none may crash or leak, and
// whatever reached the sink must be a beginning of the true body.
TEST_P(FailMatrixTest, EveryReadMayFail) {
  const MatrixCase& c = GetParam();
  const Outcome clean = fetchScripted({MemoryScript{c.response}});
  ASSERT_EQ(clean.succeeded, c.succeeds) << clean.message;
  ASSERT_EQ(clean.body, c.succeeds ? c.body : "");

  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    MemoryScript script{c.response};
    script.failAtRead = n;
    Records records;
    const Outcome faulty = fetchScripted({script}, &records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0]->closed || faulty.succeeded);
    if (records[0]->reads < n) {
      EXPECT_EQ(faulty.succeeded, clean.succeeded);
      EXPECT_EQ(faulty.body, clean.body);
      break;
    }
    EXPECT_EQ(c.body.compare(0, faulty.body.size(), faulty.body), 0);
    if (faulty.succeeded) {
      EXPECT_TRUE(c.resetEndsBody);
    } else {
      EXPECT_EQ(faulty.message, "Socket Error # 10054\r\nConnection reset by peer.");
    }
    ASSERT_LT(n, 10000);
  }
}

const std::string kBody = "<html>fuel prices</html>";

INSTANTIATE_TEST_SUITE_P(
    Framings, FailMatrixTest,
    ::testing::Values(
        MatrixCase{"Counted", "HTTP/1.1 200 OK\r\nContent-Length: 24\r\n\r\n" + kBody, true, kBody},
        MatrixCase{"Chunked",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                   "6;ext=1\r\n<html>\r\n12\r\nfuel prices</html>\r\n0\r\nX-Trailer: t\r\n\r\n",
                   true, kBody},
        MatrixCase{"Multipart",
                   "HTTP/1.1 200 OK\r\nContent-Type: multipart/mixed; boundary=B\r\n\r\n"
                   "--B\r\nx\r\n--B--\r\nafter",
                   true, "--B\r\nx\r\n--B--"},
        MatrixCase{"UntilClose", "HTTP/1.0 200 OK\r\n\r\n" + kBody, true, kBody, true},
        MatrixCase{
            "Interim",
            "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 24\r\n\r\n" + kBody,
            true, kBody},
        MatrixCase{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 24\r\n\r\n" + kBody,
                   false, kBody},
        MatrixCase{
            "Redirect",
            "HTTP/1.1 301 Moved Permanently\r\nLocation: /x\r\nContent-Length: 24\r\n\r\n" + kBody,
            false, kBody}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(Request, HeadGoesOutInOneWrite) {
  Records records;
  EXPECT_TRUE(fetchScripted({MemoryScript{"HTTP/1.1 204 No Content\r\n\r\n"}}, &records).succeeded);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0]->writes, 1);
  EXPECT_EQ(records[0]->written,
            "GET /page.html HTTP/1.1\r\nHost: example.org\r\nAccept: text/html, */*\r\n"
            "User-Agent: Mozilla/3.0 (compatible; netupdate)\r\n\r\n");
}

TEST(FailMatrix, FailedRequestWriteIsReported) {
  MemoryScript script{"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"};
  script.failAtWrite = 1;
  script.failCode = 10053;
  const Outcome outcome = fetchScripted({script});
  EXPECT_FALSE(outcome.succeeded);
  EXPECT_EQ(outcome.message, "Socket Error # 10053\r\nSoftware caused connection abort.");
}

TEST(ErrorBody, ReadFailureOtherThanCloseReplacesTheStatusError) {
  MemoryScript script{"HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\npartial"};
  script.staysOpen = true;
  EXPECT_EQ(fetchScripted({script}).message, "Read timed out.");
  script.staysOpen = false;
  EXPECT_EQ(fetchScripted({script}).message, "HTTP/1.1 404 Not Found");
}

TEST(ErrorBody, CarriedByTheErrorButKeptBounded) {
  const std::string huge(3 * 1024 * 1024, 'x');
  THttpClient client(std::make_unique<MemoryConnector>(std::vector<MemoryScript>{MemoryScript{
      "HTTP/1.1 500 Oops\r\nContent-Length: " + std::to_string(huge.size()) + "\r\n\r\n" + huge,
      65536}}));
  StringSink sink;
  try {
    client.Get("http://example.org/", sink);
    FAIL() << "500 succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_EQ(error.statusCode(), 500);
    EXPECT_EQ(error.body(), std::string(1024 * 1024, 'x'));
  }
  EXPECT_EQ(sink.text(), "");
}

}  // namespace
}  // namespace netupdate::download
