#include <gtest/gtest.h>

#include <string>

#include "cli/json_text.h"

namespace netupdate::cli {
namespace {

// What reaches the JSON output comes from servers, the system and the user's
// own file names; whatever it holds, the output must stay valid JSON.
TEST(JsonText, EscapesWhatJsonForbidsAndKeepsOnlyValidUtf8) {
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"C:\\ZEPA\\zepa.fdb", "\"C:\\\\ZEPA\\\\zepa.fdb\""},
      {"file \"x\"", "\"file \\\"x\\\"\""},
      {"Socket Error # 10061\r\nConnection refused.",
       "\"Socket Error # 10061\\r\\nConnection refused.\""},
      {std::string("a\0b\x01\x1f\x7f\tc", 8), "\"a\\u0000b\\u0001\\u001f\\u007f\\tc\""},
      {"Könyvelés – árvíztűrő 日本 😀", "\"Könyvelés – árvíztűrő 日本 😀\""},
      // A Windows-1250 byte, a lone continuation byte, a cut sequence, an
      // overlong slash and a UTF-16 surrogate: each becomes U+FFFD.
      {"K\xF6nyv", "\"K\xEF\xBF\xBDnyv\""},
      {"\x80"
       "a",
       "\"\xEF\xBF\xBD"
       "a\""},
      {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
      {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
  };
  for (const auto& c : cases) EXPECT_EQ(jsonString(c.text), c.json) << c.text;
}

}  // namespace
}  // namespace netupdate::cli
