#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "common/error.h"
#include "common/wide_text.h"
#include "download/http_errors.h"
#include "download/schannel_win32.h"
#include "download/transport.h"

// Schannel over any stream: it encrypts and decrypts buffers of ours, and
// this file moves them to and from the stream, so timeouts, socket errors and
// the peer's close stay the stream's, reported as they are over plain HTTP.
namespace netupdate::download {

namespace {

using Clock = std::chrono::steady_clock;

// Room for a large body to arrive in few reads, plus one whole record on top,
// so the part of a record cut off by one read always fits beside the next.
constexpr std::size_t kPlainRoom = 64 * 1024;
constexpr std::size_t kRecordRoom = 5 + 16 * 1024 + 2048;
// Schannel may want a whole flight of handshake messages at once, the
// server's certificates among them; past this size a server is not believed.
constexpr std::size_t kMaxHandshakeBuffer = 1024 * 1024;

constexpr unsigned char kAlertRecord = 21;

constexpr ULONG kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_ALLOCATE_MEMORY |
                                  ISC_REQ_STREAM | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_USE_SUPPLIED_CREDS | ISC_REQ_MANUAL_CRED_VALIDATION;

std::string flattened(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n")) {
    text.replace(at, 2, ": ");
  }
  return text;
}

bool isIpLiteral(const std::string& host) {
  return host.find(':') != std::string::npos ||
         (!host.empty() && host.find_first_not_of("0123456789.") == std::string::npos);
}

// How long a step may wait for the server's next bytes.
struct Wait {
  enum class Kind { UntilDeadline, EachRead, NotAtAll };
  Kind kind;
  Clock::time_point deadline{};
  int timeoutMs = 0;

  static Wait until(Clock::time_point deadline) { return {Kind::UntilDeadline, deadline, 0}; }
  static Wait eachRead(int timeoutMs) { return {Kind::EachRead, {}, timeoutMs}; }
  static Wait notAtAll() { return {Kind::NotAtAll, {}, 0}; }
};

enum class Pulled { Bytes, Closed, Nothing };
enum class Decrypted { Data, Nothing, NeedBytes, Closed };

class TlsTransport : public Transport {
 public:
  TlsTransport(std::unique_ptr<Transport> stream, std::shared_ptr<SchannelCredentials> credentials,
               const std::string& host)
      : m_stream(std::move(stream)),
        m_credentials(std::move(credentials)),
        m_host(host),
        m_wideHost(common::widen(host)),
        m_sendsName(!isIpLiteral(host)),
        m_in(kPlainRoom + kRecordRoom) {}
  TlsTransport(const TlsTransport&) = delete;
  TlsTransport& operator=(const TlsTransport&) = delete;
  ~TlsTransport() override { close(); }

  void handshake(const Wait& wait) {
    negotiate(wait);
    checkTlsVersion(m_context.handle());
    // The chain is checked here rather than by Schannel, so the causes a
    // user can act on read the same as on every other platform.
    verifyServerCertificate(m_context.handle(), m_host);
    readSizes();
    m_established = true;
  }

  std::size_t read(char* data, std::size_t size, int timeoutMs) override {
    if (m_failure) std::rethrow_exception(m_failure);
    const Wait wait = Wait::eachRead(timeoutMs);
    for (;;) {
      if (m_plainBegin < m_plainEnd) {
        const std::size_t count = std::min(size, m_plainEnd - m_plainBegin);
        std::memcpy(data, m_in.data() + m_plainBegin, count);
        m_plainBegin += count;
        return count;
      }
      if (m_peerClosed) return 0;
      if (m_negotiating) {
        renegotiate(wait);
      } else if (decryptRecord() == Decrypted::NeedBytes && pull(wait) == Pulled::Closed) {
        // A bare TCP close ends the stream as a close_notify does; whether a
        // body was cut short is the HTTP layer's to tell.
        m_peerClosed = true;
      }
    }
  }

  void write(const char* data, std::size_t size) override {
    if (m_failure) std::rethrow_exception(m_failure);
    const std::size_t header = m_sizes.cbHeader;
    while (size > 0) {
      const std::size_t chunk = std::min<std::size_t>(size, m_sizes.cbMaximumMessage);
      char* record = m_out.data();
      std::memcpy(record + header, data, chunk);
      SecBuffer buffers[4] = {
          {m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, record},
          {static_cast<ULONG>(chunk), SECBUFFER_DATA, record + header},
          {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, record + header + chunk},
          {0, SECBUFFER_EMPTY, nullptr},
      };
      SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
      const SECURITY_STATUS status = ::EncryptMessage(m_context.handle(), 0, &message, 0);
      if (status != SEC_E_OK) throw common::Error("TLS error: " + schannelReason(status));
      m_stream->write(record,
                      std::size_t{buffers[0].cbBuffer} + buffers[1].cbBuffer + buffers[2].cbBuffer);
      data += chunk;
      size -= chunk;
    }
  }

  bool waitReadable(int timeoutMs) override {
    if (settles()) return true;
    if (m_plainBegin < m_plainEnd || m_peerClosed || m_failure) return true;
    return m_stream->waitReadable(timeoutMs);
  }

  // Records that arrive unasked on an idle connection may be TLS 1.3 session
  // tickets or key updates, which leave it idle; application data or a close
  // do not.
  bool idle() override {
    for (;;) {
      if (settles() || m_plainBegin < m_plainEnd || m_peerClosed || m_failure) return false;
      if (m_cipherEnd > m_cipherBegin || m_negotiating) return false;
      try {
        if (m_stream->idle()) return true;
        if (pull(Wait::notAtAll()) == Pulled::Closed) m_peerClosed = true;
      } catch (...) {
        return false;
      }
    }
  }

  void close() noexcept override {
    if (m_closed) return;
    m_closed = true;
    try {
      if (m_established && !m_peerClosed && !m_failure) sendCloseNotify();
    } catch (...) {
      // The peer may be gone already; the close_notify is only a courtesy.
    }
    m_stream->close();
  }

 private:
  wchar_t* targetName() { return m_sendsName ? m_wideHost.data() : nullptr; }

  // Runs the handshake on from where it stands until Schannel is done, or,
  // not waiting at all, until it needs bytes that have not come yet (false).
  bool negotiate(const Wait& wait) {
    m_negotiating = true;
    try {
      for (int unanswered = 0;;) {
        if (m_needBytes) {
          const Pulled pulled = pull(wait);
          if (pulled == Pulled::Nothing) return false;
          if (pulled == Pulled::Closed) {
            throw ETlsError::failed(ETlsError::Cause::Other,
                                    "the server closed the connection during the handshake.");
          }
          m_needBytes = false;
        }
        const SECURITY_STATUS status = step();
        if (status == SEC_E_OK) {
          m_negotiating = false;
          return true;
        }
        if (status == SEC_I_CONTINUE_NEEDED) {
          m_fullHandshake = true;
          m_needBytes = m_cipherBegin == m_cipherEnd;
        } else if (status == SEC_E_INCOMPLETE_MESSAGE) {
          // A server that is no TLS server (plain HTTP on the port) would
          // otherwise be waited for until the timeout.
          if (!startsLikeRecord()) {
            throw ETlsError::failed(ETlsError::Cause::Other, "the server's answer is not TLS.");
          }
          m_needBytes = true;
        } else if (status == SEC_I_INCOMPLETE_CREDENTIALS && ++unanswered <= 2) {
          // A server that asks for a client certificate is told there is
          // none, and Schannel goes on with the same input.
        } else {
          const bool unsupported =
              status == SEC_E_ALGORITHM_MISMATCH || status == SEC_E_UNSUPPORTED_FUNCTION;
          throw ETlsError::failed(
              unsupported ? ETlsError::Cause::Protocol : ETlsError::Cause::Other,
              schannelReason(status));
        }
      }
    } catch (const ESocketError& socketError) {
      throw ETlsError::failed(ETlsError::Cause::Other, flattened(socketError.what()));
    }
  }

  // Schannel takes whole records, so what it leaves starts with a record's
  // header: a known content type, then major version 3.
  bool startsLikeRecord() const {
    const std::size_t pending = m_cipherEnd - m_cipherBegin;
    const auto at = [&](std::size_t i) {
      return static_cast<unsigned char>(m_in[m_cipherBegin + i]);
    };
    if (pending >= 1 && (at(0) < 20 || at(0) > 24)) return false;
    return pending < 2 || at(1) == 3;
  }

  // One call of the handshake: feeds Schannel what has arrived, sends what it
  // answers and keeps what it left unread.
  SECURITY_STATUS step() {
    const bool first = !m_context.made();
    SecBuffer input[2] = {
        {static_cast<ULONG>(m_cipherEnd - m_cipherBegin), SECBUFFER_TOKEN,
         m_in.data() + m_cipherBegin},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc inputs{SECBUFFER_VERSION, 2, input};
    SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputs{SECBUFFER_VERSION, 1, &output};
    ULONG attributes = 0;
    const SECURITY_STATUS status =
        ::InitializeSecurityContextW(m_credentials->handle(), first ? nullptr : m_context.handle(),
                                     targetName(), kContextRequest, 0, 0, first ? nullptr : &inputs,
                                     0, m_context.handle(), &outputs, &attributes, nullptr);
    const ContextBuffer token(output.pvBuffer);
    if (first && !FAILED(status)) m_context.setMade();
    if (output.cbBuffer > 0 && token) {
      if (FAILED(status)) {
        // The alert that tells the server why; the failure is what matters.
        try {
          m_stream->write(static_cast<const char*>(token.get()), output.cbBuffer);
        } catch (...) {
        }
      } else {
        m_stream->write(static_cast<const char*>(token.get()), output.cbBuffer);
      }
    }
    // Asked for credentials, Schannel wants the same input again; incomplete,
    // it wants more of it.
    if (!first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED)) {
      const std::size_t pending = m_cipherEnd - m_cipherBegin;
      const std::size_t left = input[1].BufferType == SECBUFFER_EXTRA ? input[1].cbBuffer : 0;
      m_cipherBegin = m_cipherEnd - std::min(left, pending);
    }
    return status;
  }

  // After the handshake, a server may start a new one (TLS 1.2) or send
  // messages of its own (TLS 1.3 tickets, key updates), which Schannel takes
  // through the handshake call again. A full new handshake may bring a new
  // certificate, which is checked like the first.
  bool renegotiate(const Wait& wait) {
    try {
      m_fullHandshake = false;
      if (!negotiate(wait)) return false;
      if (m_fullHandshake) {
        checkTlsVersion(m_context.handle());
        verifyServerCertificate(m_context.handle(), m_host);
        readSizes();
      }
      return true;
    } catch (...) {
      m_failure = std::current_exception();
      throw;
    }
  }

  // Records are as large as the negotiated sizes allow; the buffers follow.
  void readSizes() {
    const SECURITY_STATUS status =
        ::QueryContextAttributesW(m_context.handle(), SECPKG_ATTR_STREAM_SIZES, &m_sizes);
    if (status != SEC_E_OK)
      throw ETlsError::failed(ETlsError::Cause::Other, schannelReason(status));
    m_out.resize(std::size_t{m_sizes.cbHeader} + m_sizes.cbMaximumMessage + m_sizes.cbTrailer);
    m_in.resize(std::max(m_in.size(), kPlainRoom + m_out.size()));
  }

  static bool hasData(const SecBuffer (&buffers)[4]) {
    return std::any_of(std::begin(buffers), std::end(buffers), [](const SecBuffer& buffer) {
      return buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0;
    });
  }

  // Decrypts the next record where it lies in the buffer, so a body is never
  // copied on the way but once to the caller.
  Decrypted decryptRecord() {
    const std::size_t pending = m_cipherEnd - m_cipherBegin;
    if (pending == 0) return Decrypted::NeedBytes;
    char* const record = m_in.data() + m_cipherBegin;
    SecBuffer buffers[4] = {
        {static_cast<ULONG>(pending), SECBUFFER_DATA, record},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
    };
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const bool alert = static_cast<unsigned char>(record[0]) == kAlertRecord;
    const SECURITY_STATUS status = ::DecryptMessage(m_context.handle(), &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) return Decrypted::NeedBytes;
    // Not every Schannel reports the peer's close_notify as such: Wine's
    // decrypts it into nothing. Up to TLS 1.2 an alert comes in a record of
    // its own type, and after the handshake every alert we can get ends the
    // connection.
    if (status == SEC_I_CONTEXT_EXPIRED || (status == SEC_E_OK && alert && !hasData(buffers))) {
      m_peerClosed = true;
      m_cipherBegin = m_cipherEnd;
      return Decrypted::Closed;
    }
    if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) fail(schannelReason(status));
    std::size_t left = 0;
    for (const SecBuffer& buffer : buffers) {
      if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer > 0) {
        const char* plain = static_cast<const char*>(buffer.pvBuffer);
        // Schannel decrypts in place; anything else would be a broken promise.
        if (plain < record || plain + buffer.cbBuffer > record + pending) {
          fail("the decrypted data lies outside its record.");
        }
        m_plainBegin = static_cast<std::size_t>(plain - m_in.data());
        m_plainEnd = m_plainBegin + buffer.cbBuffer;
      } else if (buffer.BufferType == SECBUFFER_EXTRA) {
        left = buffer.cbBuffer;
      }
    }
    m_cipherBegin = m_cipherEnd - std::min(left, pending);
    if (status == SEC_I_RENEGOTIATE) {
      m_negotiating = true;
      m_needBytes = false;
    }
    return m_plainBegin < m_plainEnd ? Decrypted::Data : Decrypted::Nothing;
  }

  // A broken record leaves the connection unusable: every later read says why.
  [[noreturn]] void fail(const std::string& reason) {
    m_failure = std::make_exception_ptr(common::Error("TLS error: " + reason));
    std::rethrow_exception(m_failure);
  }

  // Decrypts what has arrived without waiting for more; true when that
  // failed, so the caller's next read reports it.
  bool settles() {
    try {
      while (m_plainBegin == m_plainEnd && !m_peerClosed) {
        if (m_negotiating) {
          if (!renegotiate(Wait::notAtAll())) return false;
        } else if (decryptRecord() == Decrypted::NeedBytes) {
          return false;
        }
      }
      return false;
    } catch (...) {
      if (!m_failure) m_failure = std::current_exception();
      return true;
    }
  }

  // Appends what the stream has to the undecrypted bytes.
  Pulled pull(const Wait& wait) {
    makeRoom();
    char* const tail = m_in.data() + m_cipherEnd;
    const std::size_t room = m_in.size() - m_cipherEnd;
    std::size_t got = 0;
    switch (wait.kind) {
      case Wait::Kind::UntilDeadline: {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(wait.deadline - Clock::now()).count();
        const int leftMs = static_cast<int>(std::min<decltype(left)>(left, 0x7fffffff));
        if (leftMs <= 0 || !m_stream->waitReadable(leftMs)) {
          throw common::Error("Connect timed out.");
        }
        got = m_stream->read(tail, room, leftMs);
        break;
      }
      case Wait::Kind::EachRead:
        got = m_stream->read(tail, room, wait.timeoutMs);
        break;
      case Wait::Kind::NotAtAll:
        if (m_stream->idle()) return Pulled::Nothing;
        got = m_stream->read(tail, room, 1);
        break;
    }
    if (got == 0) return Pulled::Closed;
    m_cipherEnd += got;
    return Pulled::Bytes;
  }

  // Only called once the plaintext has been taken: the undecrypted rest
  // moves to the front.
  void makeRoom() {
    m_plainBegin = m_plainEnd = 0;
    const std::size_t pending = m_cipherEnd - m_cipherBegin;
    if (m_cipherBegin > 0) {
      std::memmove(m_in.data(), m_in.data() + m_cipherBegin, pending);
      m_cipherBegin = 0;
      m_cipherEnd = pending;
    }
    if (m_cipherEnd < m_in.size()) return;
    if (!m_negotiating) {
      throw common::Error("TLS error: the server sent a record larger than TLS allows.");
    }
    if (m_in.size() >= kMaxHandshakeBuffer) {
      throw ETlsError::failed(ETlsError::Cause::Other,
                              "the server's handshake messages are too large.");
    }
    m_in.resize(std::min(m_in.size() * 2, kMaxHandshakeBuffer));
  }

  void sendCloseNotify() {
    DWORD type = SCHANNEL_SHUTDOWN;
    SecBuffer control{sizeof type, SECBUFFER_TOKEN, &type};
    SecBufferDesc controls{SECBUFFER_VERSION, 1, &control};
    if (::ApplyControlToken(m_context.handle(), &controls) != SEC_E_OK) return;
    SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc outputs{SECBUFFER_VERSION, 1, &output};
    ULONG attributes = 0;
    const SECURITY_STATUS status = ::InitializeSecurityContextW(
        m_credentials->handle(), m_context.handle(), targetName(), kContextRequest, 0, 0, nullptr,
        0, m_context.handle(), &outputs, &attributes, nullptr);
    const ContextBuffer token(output.pvBuffer);
    if (!FAILED(status) && output.cbBuffer > 0 && token) {
      m_stream->write(static_cast<const char*>(token.get()), output.cbBuffer);
    }
  }

  std::unique_ptr<Transport> m_stream;
  std::shared_ptr<SchannelCredentials> m_credentials;
  SecurityContext m_context;
  std::string m_host;
  std::wstring m_wideHost;
  bool m_sendsName;
  SecPkgContext_StreamSizes m_sizes{};
  // Received bytes: [m_plainBegin, m_plainEnd) decrypted and not yet read,
  // [m_cipherBegin, m_cipherEnd) not yet decrypted.
  std::vector<char> m_in;
  std::size_t m_plainBegin = 0;
  std::size_t m_plainEnd = 0;
  std::size_t m_cipherBegin = 0;
  std::size_t m_cipherEnd = 0;
  std::vector<char> m_out;
  bool m_negotiating = false;
  bool m_needBytes = false;
  bool m_fullHandshake = false;
  bool m_established = false;
  bool m_peerClosed = false;
  bool m_closed = false;
  std::exception_ptr m_failure;
};

class TlsConnector : public Connector {
 public:
  explicit TlsConnector(Connector& streams) : m_streams(streams) {}

  std::unique_ptr<Transport> connect(const std::string& host, std::uint16_t port,
                                     int timeoutMs) override {
    const Wait wait = timeoutMs > 0
                          ? Wait::until(Clock::now() + std::chrono::milliseconds(timeoutMs))
                          : Wait::eachRead(0);
    std::shared_ptr<SchannelCredentials> credentials = acquired();
    auto transport =
        std::make_unique<TlsTransport>(m_streams.connect(host, port, timeoutMs), credentials, host);
    transport->handshake(wait);
    return transport;
  }

 private:
  // Acquired at the first https connect, so a client that never uses TLS
  // never loads Schannel's state.
  std::shared_ptr<SchannelCredentials> acquired() {
    if (!m_credentials) m_credentials = std::make_shared<SchannelCredentials>();
    return m_credentials;
  }

  Connector& m_streams;
  std::shared_ptr<SchannelCredentials> m_credentials;
};

}  // namespace

std::unique_ptr<Connector> makeTlsConnector(Connector& streams) {
  return std::make_unique<TlsConnector>(streams);
}

}  // namespace netupdate::download
