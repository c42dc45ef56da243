#pragma once

// Schannel's handles, its reasons and the server's certificate check, for the
// Windows TLS connector. Only the Windows implementation files include it:
// it brings the system's security headers along.
#include <windows.h>

#include <wincrypt.h>

// The security interface headers want to be told which flavour is meant, and
// SCH_CREDENTIALS (Windows 10 1809 and later) is declared only on request.
#ifndef SECURITY_WIN32
#define SECURITY_WIN32
#endif
#ifndef SCHANNEL_USE_BLACKLISTS
#define SCHANNEL_USE_BLACKLISTS
#endif
#include <security.h>
#include <subauth.h>

#include <schannel.h>

#include <memory>
#include <string>

namespace netupdate::download {

// The system's words for a status or error code, in English where that is
// installed, and the code itself, which is what a search or a support call
// needs: "The token supplied to the function is invalid (0x80090308)."
std::string schannelReason(SECURITY_STATUS status);

struct ContextBufferFree {
  void operator()(void* buffer) const { ::FreeContextBuffer(buffer); }
};
// A buffer Schannel allocated for us.
using ContextBuffer = std::unique_ptr<void, ContextBufferFree>;

// Client credentials for TLS 1.2 and newer, TLS 1.3 where the system has it,
// and the server's certificate left to verifyServerCertificate. One handle
// serves every connection of a connector, so Schannel can resume sessions.
// Throws ETlsError when the system offers none of these versions.
class SchannelCredentials {
 public:
  SchannelCredentials();
  SchannelCredentials(const SchannelCredentials&) = delete;
  SchannelCredentials& operator=(const SchannelCredentials&) = delete;
  ~SchannelCredentials() { ::FreeCredentialsHandle(&m_handle); }

  CredHandle* handle() { return &m_handle; }

 private:
  SECURITY_STATUS acquire(void* data);

  CredHandle m_handle{};
};

// One connection's security context, once the first handshake call made it.
class SecurityContext {
 public:
  SecurityContext() = default;
  SecurityContext(const SecurityContext&) = delete;
  SecurityContext& operator=(const SecurityContext&) = delete;
  ~SecurityContext() {
    if (m_made) ::DeleteSecurityContext(&m_handle);
  }

  bool made() const { return m_made; }
  void setMade() { m_made = true; }
  CtxtHandle* handle() { return &m_handle; }

 private:
  CtxtHandle m_handle{};
  bool m_made = false;
};

// Throws ETlsError (Cause::Protocol) when the handshake settled on a version
// older than TLS 1.2, which a system that ignores the versions we disable
// (Wine, for one) may do.
void checkTlsVersion(CtxtHandle* context);

// Throws ETlsError unless the server's certificate chains to a root in the
// system's store, is within its validity period and is valid for host (as
// the connector gets it: an IPv6 literal without brackets).
void verifyServerCertificate(CtxtHandle* context, const std::string& host);

}  // namespace netupdate::download
