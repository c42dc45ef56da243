#include "download/response_reader.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "common/error.h"
#include "download/http_errors.h"

namespace netupdate::download {

std::int64_t chunkSizeOf(std::string_view line) {
  const std::string_view digits = trimBlanks(line.substr(0, line.find(';')));
  std::int64_t size = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || size < 0) {
    return 0;
  }
  return size;
}

std::optional<std::string> multipartBoundaryOf(std::string_view contentType) {
  const std::size_t semicolon = contentType.find(';');
  const std::string_view mediaType = trimBlanks(contentType.substr(0, semicolon));
  if (!equalsIgnoringCase(mediaType.substr(0, std::min<std::size_t>(mediaType.size(), 10)),
                          "multipart/")) {
    return std::nullopt;
  }
  std::string_view parameters =
      semicolon == std::string_view::npos ? std::string_view() : contentType.substr(semicolon + 1);
  while (!parameters.empty()) {
    const std::size_t next = parameters.find(';');
    const std::string_view parameter = parameters.substr(0, next);
    parameters = next == std::string_view::npos ? std::string_view() : parameters.substr(next + 1);
    const std::size_t equals = parameter.find('=');
    if (equals == std::string_view::npos) continue;
    if (!equalsIgnoringCase(trimBlanks(parameter.substr(0, equals)), "boundary")) continue;
    std::string_view value = trimBlanks(parameter.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
  }
  return std::string();
}

void ResponseReader::countLine() {
  if (++m_linesRead > kMaxHeadLines) {
    throw common::Error("Too many header lines in the response (more than " +
                        std::to_string(kMaxHeadLines) + ").");
  }
}

std::optional<std::string> ResponseReader::readHeadLine() {
  auto line = m_connection.readLine(m_maxLineLength);
  if (line) countLine();
  return line;
}

ResponseHead ResponseReader::readHead(const std::function<void(const ResponseHead&)>& onHead) {
  for (;;) {
    ResponseHead head;
    auto statusLine = readHeadLine();
    if (!statusLine) throw EConnectionClosed();
    head.setStatusLine(decodeHeadLine(*statusLine));
    bool anyHeaderLine = false;
    for (;;) {
      auto line = readHeadLine();
      if (!line) {
        // A server that ends the head by closing is still answered, once it said anything.
        if (!anyHeaderLine) throw EConnectionClosed();
        break;
      }
      if (line->empty()) break;
      head.addLine(decodeHeadLine(*line));
      anyHeaderLine = true;
    }
    onHead(head);
    const std::int32_t code = head.statusCode();
    if (code >= 100 && code <= 199 && code != 101) continue;
    return head;
  }
}

void ResponseReader::readBody(ResponseHead& head, ByteSink& sink) {
  const auto transferEncoding = head.header("Transfer-Encoding");
  if (transferEncoding && lowerAscii(*transferEncoding).find("chunked") != std::string::npos) {
    readChunked(head, sink);
  } else if (const auto length = head.contentLength()) {
    readCounted(*length, sink);
  } else if (const auto boundary = multipartBoundaryOf(head.header("Content-Type").value_or(""))) {
    readMultipart(*boundary, sink);
  } else {
    readUntilClose(sink);
  }
}

void ResponseReader::readCounted(std::int64_t length, ByteSink& sink) {
  auto remaining = static_cast<std::uint64_t>(length);
  while (remaining > 0) {
    const std::string_view available = m_connection.buffered();
    // A short body is a truncated page, not a complete one: what came stays
    // in the sink, but the caller must learn that it is incomplete.
    if (available.empty()) throw EConnectionClosed();
    const std::size_t take =
        static_cast<std::size_t>(std::min<std::uint64_t>(remaining, available.size()));
    sink.write(available.data(), take);
    m_connection.consume(take);
    remaining -= take;
  }
}

void ResponseReader::readChunked(ResponseHead& head, ByteSink& sink) {
  for (;;) {
    const auto sizeLine = m_connection.readLine(m_maxLineLength);
    if (!sizeLine) throw EConnectionClosed();
    const std::int64_t size = chunkSizeOf(*sizeLine);
    if (size == 0) break;
    readCounted(size, sink);
    if (!m_connection.readLine(m_maxLineLength)) throw EConnectionClosed();
  }
  // The data is complete; a server closing instead of ending its trailers loses nothing.
  for (;;) {
    const auto trailer = readHeadLine();
    if (!trailer || trailer->empty()) return;
    head.addLine(decodeHeadLine(*trailer));
  }
}

void ResponseReader::readMultipart(const std::string& boundary, ByteSink& sink) {
  const std::string delimiter = "--" + boundary + "--";
  // Failure links of the delimiter, so a match is found across buffer edges
  // without holding back any body bytes.
  std::vector<std::size_t> fallback(delimiter.size() + 1, 0);
  for (std::size_t i = 1, k = 0; i < delimiter.size(); ++i) {
    while (k > 0 && delimiter[i] != delimiter[k]) k = fallback[k];
    if (delimiter[i] == delimiter[k]) ++k;
    fallback[i + 1] = k;
  }
  std::size_t matched = 0;
  for (;;) {
    const std::string_view available = m_connection.buffered();
    if (available.empty()) return;
    std::size_t used = 0;
    while (used < available.size() && matched < delimiter.size()) {
      const char c = available[used++];
      while (matched > 0 && c != delimiter[matched]) matched = fallback[matched];
      if (c == delimiter[matched]) ++matched;
    }
    sink.write(available.data(), used);
    m_connection.consume(used);
    if (matched == delimiter.size()) break;
  }
  m_connection.readLine(m_maxLineLength);
}

void ResponseReader::readUntilClose(ByteSink& sink) {
  for (;;) {
    std::string_view available;
    try {
      available = m_connection.buffered();
    } catch (const ESocketError& error) {
      // Many servers end such a body by resetting rather than closing.
      const std::int32_t code = error.code();
      if (code != kWsaConnectionReset && code != kWsaConnectionAborted && code != kWsaShutdown) {
        throw;
      }
      m_connection.markPeerClosed();
      return;
    }
    if (available.empty()) return;
    sink.write(available.data(), available.size());
    m_connection.consume(available.size());
  }
}

}  // namespace netupdate::download
