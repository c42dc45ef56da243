#include "download/response_head.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace netupdate::download {

namespace {

bool isBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

template <typename Int>
std::optional<Int> parseDecimal(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  Int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return {};
  return value;
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string decodeHeadLine(std::string_view raw) {
  std::string text;
  text.reserve(raw.size());
  for (const char c : raw) {
    if (static_cast<unsigned char>(c) > 0x7F) {
      text += "\xEF\xBF\xBD";
    } else {
      text += c;
    }
  }
  return text;
}

std::int32_t statusCodeOf(std::string_view statusLine) {
  const std::size_t blank = statusLine.find(' ');
  if (blank == std::string_view::npos) return -1;
  std::string_view code = trimBlanks(statusLine.substr(blank + 1));
  code = code.substr(0, code.find(' '));
  code = code.substr(0, code.find('.'));
  return parseDecimal<std::int32_t>(code).value_or(-1);
}

void ResponseHead::setStatusLine(std::string line) {
  m_statusLine = std::move(line);
  m_statusCode = statusCodeOf(m_statusLine);
}

void ResponseHead::addLine(const std::string& line) {
  if (!m_lines.empty() && !line.empty() && (line.front() == ' ' || line.front() == '\t')) {
    m_lines.back() += ' ';
    m_lines.back() += trimBlanks(line);
    return;
  }
  m_lines.push_back(line);
}

std::vector<std::string> ResponseHead::headers(std::string_view name) const {
  std::vector<std::string> values;
  for (const std::string& line : m_lines) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string_view lineView(line);
    if (equalsIgnoringCase(trimBlanks(lineView.substr(0, colon)), name)) {
      values.emplace_back(trimBlanks(lineView.substr(colon + 1)));
    }
  }
  return values;
}

std::optional<std::string> ResponseHead::header(std::string_view name) const {
  for (const std::string& line : m_lines) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string_view lineView(line);
    if (equalsIgnoringCase(trimBlanks(lineView.substr(0, colon)), name)) {
      return std::string(trimBlanks(lineView.substr(colon + 1)));
    }
  }
  return std::nullopt;
}

std::optional<std::int64_t> ResponseHead::contentLength() const {
  const auto text = header("Content-Length");
  if (!text) return std::nullopt;
  const auto length = parseDecimal<std::int64_t>(*text);
  if (!length || *length < 0) return std::nullopt;
  return length;
}

}  // namespace netupdate::download
