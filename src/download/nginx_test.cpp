#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "download/http_client.h"
#include "download/testing/nginx_server.h"
#include "download/testing/test_files.h"

namespace netupdate::download {
namespace {

namespace fs = std::filesystem;
using testing::Nginx;
using testing::writeFile;

class NginxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = Nginx::unavailableBecause();
    if (!why.empty()) GTEST_SKIP() << why;
  }
};

std::string patternedBytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return bytes;
}

TEST_F(NginxTest, StaticFileThenChunkedPageOnOneConnection) {
  const std::string staticBody = patternedBytes(3 * 1024 * 1024 + 17);
  {
    Nginx nginx;
    writeFile(nginx.www() / "prices.bin", staticBody);
    writeFile(nginx.www() / "ssi" / "page.html",
              "<p><!--# echo var=\"nothing\" default=\"fuel\" --> prices</p>\n");
    THttpClient client;
    StringSink file;
    client.Get(nginx.url("/prices.bin"), file);
    EXPECT_TRUE(file.text() == staticBody)
        << "static file differs, " << file.text().size() << " bytes";
    StringSink page;
    client.Get(nginx.url("/ssi/page.html"), page);
    EXPECT_EQ(page.text(), "<p>fuel prices</p>\n");
    // One connection served both, and the page really came in chunks.
    EXPECT_EQ(nginx.accessLog(),
              "1 GET /prices.bin HTTP/1.1 200 -\n1 GET /ssi/page.html HTTP/1.1 200 chunked\n");
  }
}

TEST_F(NginxTest, ErrorsAndRedirectsAreNotFollowed) {
  Nginx nginx;
  writeFile(nginx.www() / "ssi" / "page.html", "x");
  THttpClient client;
  StringSink sink;
  try {
    client.Get(nginx.url("/missing.html"), sink);
    ADD_FAILURE() << "404 succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 404 Not Found");
    EXPECT_NE(error.body().find("404 Not Found"), std::string::npos);
  }
  try {
    client.Get(nginx.url("/ssi"), sink);
    ADD_FAILURE() << "redirect succeeded";
  } catch (const EHttpProtocolError& error) {
    EXPECT_STREQ(error.what(), "HTTP/1.1 301 Moved Permanently");
  }
  EXPECT_EQ(sink.text(), "");
  EXPECT_EQ(nginx.accessLog(), "1 GET /missing.html HTTP/1.1 404 -\n1 GET /ssi HTTP/1.1 301 -\n");
}

}  // namespace
}  // namespace netupdate::download
