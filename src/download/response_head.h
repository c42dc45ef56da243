#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ascii.h"

namespace netupdate::download {

// One response head as the client keeps it while handling the response.
class ResponseHead {
 public:
  void setStatusLine(std::string line);
  const std::string& statusLine() const { return m_statusLine; }
  std::int32_t statusCode() const { return m_statusCode; }

  // A line beginning with a blank or a tab continues the previous header.
  void addLine(const std::string& line);
  const std::vector<std::string>& lines() const { return m_lines; }

  // Looked up without regard to case; the first matching line wins. The
  // value has its surrounding blanks removed.
  std::optional<std::string> header(std::string_view name) const;
  std::vector<std::string> headers(std::string_view name) const;
  // Absent when missing, not an integer or negative.
  std::optional<std::int64_t> contentLength() const;

 private:
  std::string m_statusLine;
  std::int32_t m_statusCode = -1;
  std::vector<std::string> m_lines;
};

// The code out of a status line such as "HTTP/1.1 404 Not Found"; -1 when unreadable.
std::int32_t statusCodeOf(std::string_view statusLine);

// Head bytes are ASCII; anything above 0x7F becomes U+FFFD, so the text is
// valid UTF-8 whatever the server sent.
std::string decodeHeadLine(std::string_view raw);

std::string_view trimBlanks(std::string_view text);
using common::equalsIgnoringCase;
using common::lowerAscii;

}  // namespace netupdate::download
