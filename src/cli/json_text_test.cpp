#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace netupdate::cli {
namespace {

// What reaches the JSON output comes from servers, the system and the user's
// own file names; whatever it holds, the output must stay valid JSON and
// read back as the text, with U+FFFD where the text was not UTF-8.
TEST(JsonText, EscapesWhatJsonForbidsAndKeepsOnlyValidUtf8) {
  const std::string fffd = "\xEF\xBF\xBD";
  const struct {
    std::string text;
    std::string json;
  } cases[] = {
      {"", "\"\""},
      {"C:\\ZEPA\\zepa.fdb", "\"C:\\\\ZEPA\\\\zepa.fdb\""},
      {"file \"x\"", "\"file \\\"x\\\"\""},
      {"Socket Error # 10061\r\nConnection refused.",
       "\"Socket Error # 10061\\r\\nConnection refused.\""},
      {std::string("a\0b\x01\x1f\x7f\tc", 8), "\"a\\u0000b\\u0001\\u001f\x7f\\tc\""},
      {"Könyvelés – árvíztűrő 日本 😀", "\"Könyvelés – árvíztűrő 日本 😀\""},
      // A Windows-1250 byte, a lone continuation byte, a cut sequence, an
      // overlong slash and a UTF-16 surrogate.
      {"K\xF6nyv", "\"K" + fffd + "nyv\""},
      {"\x80"
       "a",
       "\"" + fffd + "a\""},
      {"\xE2\x82", "\"" + fffd + "\""},
      {"\xC0\xAF", "\"" + fffd + fffd + "\""},
      {"\xED\xA0\x80", "\"" + fffd + fffd + fffd + "\""},
  };
  for (const auto& c : cases) {
    const std::string text = jsonText(Json(c.text));
    EXPECT_EQ(text, c.json) << c.text;
    EXPECT_TRUE(Json::accept(text)) << text;
  }
  // Keys in the order given; whole prices without a fraction, as NAV prints them.
  EXPECT_EQ(jsonText(Json{{"year", 2026}, {"prices", {nullptr, 572, 598.5}}, {"check", "x"}}),
            "{\"year\":2026,\"prices\":[null,572,598.5],\"check\":\"x\"}");
}

}  // namespace
}  // namespace netupdate::cli
