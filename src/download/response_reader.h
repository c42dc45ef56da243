#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "download/byte_sink.h"
#include "download/connection.h"
#include "download/response_head.h"

namespace netupdate::download {

// Reads one response off a connection: its head, then its body as the head
// frames it.
class ResponseReader {
 public:
  // A hostile server could otherwise send header lines forever.
  static constexpr std::size_t kMaxHeadLines = 1000;

  ResponseReader(Connection& connection, std::size_t maxLineLength)
      : m_connection(connection), m_maxLineLength(maxLineLength) {}

  // The final head, interim 1xx heads (but 101) skipped; every head read is
  // shown to onHead first, so its cookies are taken even from an interim one.
  ResponseHead readHead(const std::function<void(const ResponseHead&)>& onHead);

  // Writes the body into sink; trailers of a chunked body join head's lines.
  void readBody(ResponseHead& head, ByteSink& sink);

 private:
  std::optional<std::string> readHeadLine();
  void countLine();
  void readChunked(ResponseHead& head, ByteSink& sink);
  void readCounted(std::int64_t length, ByteSink& sink);
  void readMultipart(const std::string& boundary, ByteSink& sink);
  void readUntilClose(ByteSink& sink);

  Connection& m_connection;
  std::size_t m_maxLineLength;
  std::size_t m_linesRead = 0;
};

// The hexadecimal size before any ";" extension; 0 when it is not hexadecimal.
std::int64_t chunkSizeOf(std::string_view line);
// The boundary parameter of a multipart content type; nullopt for another media type.
std::optional<std::string> multipartBoundaryOf(std::string_view contentType);

}  // namespace netupdate::download
