#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "download/http_errors.h"
#include "download/transport.h"

namespace netupdate::download {

namespace {

using Clock = std::chrono::steady_clock;

// One TLS record and then some: a single read from the stream usually feeds
// OpenSSL a whole record.
constexpr std::size_t kCipherChunk = 64 * 1024;

struct ContextFree {
  void operator()(SSL_CTX* context) const { SSL_CTX_free(context); }
};
struct SslFree {
  void operator()(SSL* ssl) const { SSL_free(ssl); }
};

bool isIpLiteral(const std::string& host) {
  unsigned char address[16];
  return ::inet_pton(AF_INET, host.c_str(), address) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), address) == 1;
}

// The host as a URL writes it, for messages: an IPv6 literal in brackets.
std::string urlHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

// OpenSSL's reason for the newest error on this thread's queue.
std::string libraryReason() {
  const unsigned long code = ERR_peek_last_error();
  const char* reason = code == 0 ? nullptr : ERR_reason_error_string(code);
  return reason != nullptr ? reason : "the TLS library gave no reason";
}

bool isProtocolMismatch() {
  const unsigned long code = ERR_peek_last_error();
  if (ERR_GET_LIB(code) != ERR_LIB_SSL) return false;
  const int reason = ERR_GET_REASON(code);
  return reason == SSL_R_UNSUPPORTED_PROTOCOL || reason == SSL_R_NO_PROTOCOLS_AVAILABLE ||
         reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION || reason == SSL_R_WRONG_SSL_VERSION;
}

// Verification failures a user can act on read the same on every platform;
// the rest keep OpenSSL's words.
ETlsError verificationFailure(long result, const std::string& host) {
  switch (result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return ETlsError::expired();
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return ETlsError::wrongHost(urlHost(host));
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
    case X509_V_ERR_CERT_REJECTED:
      return ETlsError::untrusted();
    default:
      return ETlsError::failed(ETlsError::Cause::Other, X509_verify_cert_error_string(result));
  }
}

// TLS over any stream: OpenSSL reads and writes memory buffers, and this
// class moves their contents to and from the stream. So timeouts, socket
// errors and the peer's close stay the stream's, reported as they are over
// plain HTTP.
class TlsTransport : public Transport {
 public:
  TlsTransport(std::unique_ptr<Transport> stream, SSL_CTX* context)
      : m_stream(std::move(stream)), m_cipher(kCipherChunk) {
    m_ssl.reset(SSL_new(context));
    if (!m_ssl) throw common::Error("TLS handshake failed: " + libraryReason());
    m_in = BIO_new(BIO_s_mem());
    m_out = BIO_new(BIO_s_mem());
    if (m_in == nullptr || m_out == nullptr) {
      BIO_free(m_in);
      BIO_free(m_out);
      throw common::Error("TLS handshake failed: out of memory");
    }
    SSL_set_bio(m_ssl.get(), m_in, m_out);
  }
  TlsTransport(const TlsTransport&) = delete;
  TlsTransport& operator=(const TlsTransport&) = delete;
  ~TlsTransport() override { close(); }

  void handshake(const std::string& host, int timeoutMs) {
    SSL* ssl = m_ssl.get();
    if (isIpLiteral(host)) {
      X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str());
    } else {
      // SSL_set_tlsext_host_name is a macro with a C cast; this is what it expands to.
      SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
               const_cast<char*>(host.c_str()));
      SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
      SSL_set1_host(ssl, host.c_str());
    }
    SSL_set_connect_state(ssl);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      ERR_clear_error();
      const int done = SSL_do_handshake(ssl);
      const int error = done == 1 ? SSL_ERROR_NONE : SSL_get_error(ssl, done);
      flush();
      if (done == 1) return;
      if (error != SSL_ERROR_WANT_READ) {
        const long verified = SSL_get_verify_result(ssl);
        if (verified != X509_V_OK) throw verificationFailure(verified, host);
        throw ETlsError::failed(
            isProtocolMismatch() ? ETlsError::Cause::Protocol : ETlsError::Cause::Other,
            libraryReason());
      }
      int wait = 0;
      if (timeoutMs > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) throw common::Error("Connect timed out.");
        wait = static_cast<int>(left);
      }
      std::size_t got = 0;
      try {
        got = m_stream->read(m_cipher.data(), m_cipher.size(), wait);
      } catch (const ESocketError& socketError) {
        throw ETlsError::failed(ETlsError::Cause::Other, flattened(socketError.what()));
      } catch (const common::Error&) {
        // The stream's only other failure is its read timeout.
        throw common::Error("Connect timed out.");
      }
      if (got == 0) {
        throw ETlsError::failed(ETlsError::Cause::Other,
                                "the server closed the connection during the handshake.");
      }
      feed(got);
    }
  }

  std::size_t read(char* data, std::size_t size, int timeoutMs) override {
    if (m_finished) return 0;
    for (;;) {
      ERR_clear_error();
      std::size_t got = 0;
      const int done = SSL_read_ex(m_ssl.get(), data, size, &got);
      const int error = done == 1 ? SSL_ERROR_NONE : SSL_get_error(m_ssl.get(), done);
      flush();
      if (done == 1) return got;
      if (error == SSL_ERROR_ZERO_RETURN) return finish();
      if (error != SSL_ERROR_WANT_READ) throw common::Error("TLS error: " + libraryReason());
      // A bare TCP close ends the stream as a close_notify does; whether a
      // body was cut short is the HTTP layer's to tell.
      if (!pull(timeoutMs)) return finish();
    }
  }

  void write(const char* data, std::size_t size) override {
    while (size > 0) {
      ERR_clear_error();
      std::size_t sent = 0;
      const int done = SSL_write_ex(m_ssl.get(), data, size, &sent);
      const int error = done == 1 ? SSL_ERROR_NONE : SSL_get_error(m_ssl.get(), done);
      flush();
      if (done == 1) {
        data += sent;
        size -= sent;
      } else if (error != SSL_ERROR_WANT_READ || !pull(0)) {
        throw common::Error("TLS error: " + libraryReason());
      }
    }
  }

  bool waitReadable(int timeoutMs) override {
    if (m_finished || SSL_pending(m_ssl.get()) > 0 || BIO_ctrl_pending(m_in) > 0) return true;
    return m_stream->waitReadable(timeoutMs);
  }

  // Records that arrive unasked on an idle connection may be TLS 1.3 session
  // tickets, which leave it idle; application data or a close do not.
  bool idle() override {
    if (m_finished) return false;
    try {
      for (;;) {
        if (SSL_pending(m_ssl.get()) > 0) return false;
        if (BIO_ctrl_pending(m_in) == 0) {
          if (m_stream->idle()) return true;
          if (!pull(1)) return false;
        }
        ERR_clear_error();
        char byte = 0;
        std::size_t got = 0;
        const int done = SSL_peek_ex(m_ssl.get(), &byte, 1, &got);
        if (done == 1 || SSL_get_error(m_ssl.get(), done) != SSL_ERROR_WANT_READ) return false;
        flush();
      }
    } catch (...) {
      return false;
    }
  }

  void close() noexcept override {
    if (m_closed) return;
    m_closed = true;
    try {
      if (SSL_is_init_finished(m_ssl.get()) == 1 && !m_finished) {
        ERR_clear_error();
        SSL_shutdown(m_ssl.get());
        flush();
      }
    } catch (...) {
      // The peer may be gone already; the close_notify is only a courtesy.
    }
    ERR_clear_error();
    m_stream->close();
  }

 private:
  static std::string flattened(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n")) {
      text.replace(at, 2, ": ");
    }
    return text;
  }

  std::size_t finish() {
    m_finished = true;
    return 0;
  }

  // Moves what OpenSSL has written to the stream.
  void flush() {
    char chunk[16 * 1024];
    for (;;) {
      const int got = BIO_read(m_out, chunk, sizeof chunk);
      if (got <= 0) return;
      m_stream->write(chunk, static_cast<std::size_t>(got));
    }
  }

  // Feeds OpenSSL what the stream has; false once the peer has closed.
  bool pull(int timeoutMs) {
    const std::size_t got = m_stream->read(m_cipher.data(), m_cipher.size(), timeoutMs);
    if (got == 0) return false;
    feed(got);
    return true;
  }

  void feed(std::size_t count) {
    if (BIO_write(m_in, m_cipher.data(), static_cast<int>(count)) != static_cast<int>(count)) {
      throw common::Error("TLS error: out of memory");
    }
  }

  std::unique_ptr<Transport> m_stream;
  std::unique_ptr<SSL, SslFree> m_ssl;
  // Owned by m_ssl once SSL_set_bio has run.
  BIO* m_in = nullptr;
  BIO* m_out = nullptr;
  std::vector<char> m_cipher;
  bool m_finished = false;
  bool m_closed = false;
};

class TlsConnector : public Connector {
 public:
  explicit TlsConnector(Connector& streams) : m_streams(streams) {}

  std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                     int timeoutMs) override {
    const auto start = Clock::now();
    auto stream = m_streams.connect(host, port, timeoutMs);
    int left = 0;
    if (timeoutMs > 0) {
      const auto spent =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
      if (spent >= timeoutMs) throw common::Error("Connect timed out.");
      left = timeoutMs - static_cast<int>(spent);
    }
    auto transport = std::make_unique<TlsTransport>(std::move(stream), context());
    transport->handshake(host, left);
    return transport;
  }

 private:
  // Made at the first https connect, so a client that never uses TLS never
  // reads the trust store.
  SSL_CTX* context() {
    if (m_context) return m_context.get();
    ERR_clear_error();
    std::unique_ptr<SSL_CTX, ContextFree> context(SSL_CTX_new(TLS_client_method()));
    if (!context) throw common::Error("TLS handshake failed: " + libraryReason());
    SSL_CTX_set_min_proto_version(context.get(), TLS1_2_VERSION);
    SSL_CTX_set_verify(context.get(), SSL_VERIFY_PEER, nullptr);
    // OpenSSL's own paths, so SSL_CERT_FILE and SSL_CERT_DIR work as they
    // do for every OpenSSL program.
    if (SSL_CTX_set_default_verify_paths(context.get()) != 1) {
      throw ETlsError::failed(ETlsError::Cause::Other, libraryReason());
    }
    m_context = std::move(context);
    return m_context.get();
  }

  Connector& m_streams;
  std::unique_ptr<SSL_CTX, ContextFree> m_context;
};

}  // namespace

std::unique_ptr<Connector> makeTlsConnector(Connector& streams) {
  return std::make_unique<TlsConnector>(streams);
}

}  // namespace netupdate::download
