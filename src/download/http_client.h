#pragma once

#include <memory>
#include <string>

#include "download/byte_sink.h"
#include "download/http_errors.h"

namespace netupdate::download {

class Connection;
class Connector;
class CookieStore;
struct TUrl;

// An HTTP/1.1 GET client, over TLS for https URLs. One request per Get, no
// redirects followed, no credentials, no compression, no proxy. Cookies and
// one idle connection carry over from one Get to the next on the same client.
class THttpClient {
 public:
  THttpClient();
  // Tests and fuzzers reach the wire through their own connector; https
  // runs TLS over it.
  explicit THttpClient(std::unique_ptr<Connector> connector);
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;
  ~THttpClient();

  // Fetches AURL and writes the response body into AResponseContent. Every
  // failure, including a status that is not a success, is raised:
  // EHttpProtocolError, ESocketError, EConnectionClosed or common::Error.
  void Get(const std::string& AURL, ByteSink& AResponseContent);

  std::string Accept = "text/html, */*";
  std::string UserAgent = "Mozilla/3.0 (compatible; netupdate)";
  // Longest accepted status, header or chunk-size line, in bytes before the line end.
  std::size_t MaxLineLength = 16384;
  // Milliseconds for the connect and, for https, the TLS handshake; 0 or less
  // waits as long as the operating system lets it.
  int ConnectTimeout = 30000;
  // Milliseconds without any data while a response is awaited; 0 or less waits forever.
  int ReadTimeout = 60000;
  // How long a redirect's body may take to start before it is not read at all.
  int RedirectBodyWait = 5000;

  const CookieStore& cookies() const { return *m_cookies; }
  // The status line of the last response whose head was read, for callers
  // that report a success too; empty before the first.
  const std::string& StatusLine() const { return m_statusLine; }

 private:
  void exchange(const TUrl& url, const std::string& port, ByteSink& sink);

  std::unique_ptr<Connector> m_connector;
  // Wraps m_connector, so it is declared after it and destroyed first.
  std::unique_ptr<Connector> m_tlsConnector;
  std::unique_ptr<CookieStore> m_cookies;
  std::unique_ptr<Connection> m_connection;
  bool m_connectionSecure = false;
  std::string m_connectionHost;
  std::string m_connectionPort;
  std::string m_statusLine;
};

}  // namespace netupdate::download
