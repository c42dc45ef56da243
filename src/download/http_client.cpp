#include "download/http_client.h"

#include <chrono>

#include "common/error.h"
#include "download/connection.h"
#include "download/cookie_store.h"
#include "download/response_reader.h"
#include "download/transport.h"
#include "download/url.h"

namespace netupdate::download {

namespace {

// An error page is kept for its text only; the rest of a huge one is read
// and dropped so the connection stays in step.
constexpr std::size_t kMaxErrorBody = 1024 * 1024;

std::int64_t secondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Request text goes out as 7-bit ASCII: each character beyond it becomes one
// "?", and so does a control character, which could otherwise end a line
// early and smuggle a header in (cookies come from the network).
std::string asciiForWire(std::string_view text) {
  std::string wire;
  wire.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 && byte <= 0xBF) continue;
    if (byte >= 0x80 || byte == 0x7F || (byte < 0x20 && byte != '\t')) {
      wire += '?';
    } else {
      wire += c;
    }
  }
  return wire;
}

// The caller's sink may fail in any way; the user is told one thing.
class GuardedSink : public ByteSink {
 public:
  explicit GuardedSink(ByteSink& sink) : m_sink(sink) {}
  void write(const char* data, std::size_t size) override {
    try {
      m_sink.write(data, size);
    } catch (...) {
      throw common::Error("Stream write error");
    }
  }

 private:
  ByteSink& m_sink;
};

bool isRedirect(std::int32_t code) {
  return code >= 300 && code <= 399 && code != 304;
}

}  // namespace

THttpClient::THttpClient() : THttpClient(makeSocketConnector()) {}

THttpClient::THttpClient(std::unique_ptr<Connector> connector)
    : m_connector(std::move(connector)),
      m_tlsConnector(makeTlsConnector(*m_connector)),
      m_cookies(std::make_unique<CookieStore>()) {}

THttpClient::~THttpClient() = default;

void THttpClient::Get(const std::string& AURL, ByteSink& AResponseContent) {
  const TUrl url = TUrl::split(AURL);
  const std::string port = url.effectivePort();
  try {
    exchange(url, port, AResponseContent);
  } catch (const EHttpProtocolError&) {
    throw;
  } catch (...) {
    // After a failure midway nobody knows where the stream stands.
    m_connection.reset();
    throw;
  }
}

void THttpClient::exchange(const TUrl& parts, const std::string& port, ByteSink& sink) {
  const CookieRequest cookieRequest{parts.host, parts.path + parts.document, parts.isHttps()};
  std::string head = "GET " + asciiForWire(parts.requestTarget()) + " HTTP/1.1\r\n";
  head += "Host: " + asciiForWire(parts.hostHeader()) + "\r\n";
  head += "Accept: " + asciiForWire(Accept) + "\r\n";
  head += "User-Agent: " + asciiForWire(UserAgent) + "\r\n";
  const std::string cookies = m_cookies->cookieHeader(cookieRequest, secondsNow());
  if (!cookies.empty()) head += "Cookie: " + asciiForWire(cookies) + "\r\n";
  head += "\r\n";

  const bool secure = parts.isHttps();
  if (m_connection && (m_connectionSecure != secure || m_connectionHost != parts.host ||
                       m_connectionPort != port || !m_connection->reusable())) {
    m_connection.reset();
  }
  if (!m_connection) {
    Connector& connector = secure ? *m_tlsConnector : *m_connector;
    m_connection = std::make_unique<Connection>(
        connector.connect(parts.hostName(), parts.portNumber(), ConnectTimeout));
    m_connectionSecure = secure;
    m_connectionHost = parts.host;
    m_connectionPort = port;
  }
  Connection& connection = *m_connection;
  connection.setReadTimeout(ReadTimeout);
  connection.write(head);

  ResponseReader reader(connection, MaxLineLength);
  ResponseHead response = reader.readHead([&](const ResponseHead& anyHead) {
    for (const std::string& value : anyHead.headers("Set-Cookie")) {
      m_cookies->setCookie(value, cookieRequest, secondsNow());
    }
  });

  m_statusLine = response.statusLine();
  const std::int32_t code = response.statusCode();
  const bool success = (code >= 200 && code <= 299) || code == 101;
  bool bodyComplete = true;
  StringSink errorBody(kMaxErrorBody);
  if (success) {
    if (code != 204 && code != 101) {
      GuardedSink guarded(sink);
      reader.readBody(response, guarded);
    }
  } else if (code != 304) {
    const bool emptyByLength =
        !response.header("Transfer-Encoding") && response.contentLength() == 0;
    // A redirect's body is only a courtesy page; it is not worth a long wait.
    if (isRedirect(code) && !emptyByLength && !connection.waitReadable(RedirectBodyWait)) {
      bodyComplete = false;
    } else {
      try {
        reader.readBody(response, errorBody);
      } catch (const EConnectionClosed&) {
        bodyComplete = false;
      }
    }
  }

  const auto connectionHeader = response.header("Connection");
  const bool keep = bodyComplete && code != 101 && !connection.peerClosed() &&
                    !(connectionHeader && equalsIgnoringCase(*connectionHeader, "close"));
  if (!keep) m_connection.reset();
  if (!success) {
    throw EHttpProtocolError(code, response.statusLine(), errorBody.text(),
                             response.header("Location").value_or(""));
  }
}

}  // namespace netupdate::download
