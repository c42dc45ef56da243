#include "download/schannel_win32.h"

#include <cctype>
#include <cstdio>

#include "common/wide_text.h"
#include "download/http_errors.h"

namespace netupdate::download {

namespace {

struct CertificateFree {
  void operator()(const CERT_CONTEXT* certificate) const {
    ::CertFreeCertificateContext(certificate);
  }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree {
  void operator()(const CERT_CHAIN_CONTEXT* chain) const { ::CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

ETlsError lastErrorFailure() {
  return ETlsError::failed(ETlsError::Cause::Other,
                           schannelReason(HRESULT_FROM_WIN32(::GetLastError())));
}

// The host as a URL writes it, for messages: an IPv6 literal in brackets.
std::string urlHost(const std::string& host) {
  return host.find(':') == std::string::npos ? host : "[" + host + "]";
}

Chain chainOf(const CERT_CONTEXT* certificate) {
  char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
  char* usages[] = {serverAuth};
  CERT_CHAIN_PARA request{};
  request.cbSize = sizeof request;
  request.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
  request.RequestedUsage.Usage.cUsageIdentifier = 1;
  request.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
  const CERT_CHAIN_CONTEXT* built = nullptr;
  // The server's intermediates come in the certificate's own store; the
  // default engine trusts the system's Root store.
  if (!::CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &request,
                                 0, nullptr, &built)) {
    throw lastErrorFailure();
  }
  return Chain(built);
}

HRESULT sslPolicyVerdict(const CERT_CHAIN_CONTEXT* chain, const std::string& host) {
  std::wstring name = common::widen(host);
  SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
  ssl.cbSize = sizeof ssl;
  ssl.dwAuthType = AUTHTYPE_SERVER;
  ssl.pwszServerName = name.data();
  CERT_CHAIN_POLICY_PARA policy{};
  policy.cbSize = sizeof policy;
  policy.pvExtraPolicyPara = &ssl;
  CERT_CHAIN_POLICY_STATUS verdict{};
  verdict.cbSize = sizeof verdict;
  if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &verdict)) {
    throw lastErrorFailure();
  }
  return static_cast<HRESULT>(verdict.dwError);
}

}  // namespace

std::string schannelReason(SECURITY_STATUS status) {
  const DWORD code = static_cast<DWORD>(status);
  const DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  std::string text;
  for (const DWORD language : {DWORD{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, DWORD{0}}) {
    wchar_t* found = nullptr;
    const DWORD length = ::FormatMessageW(flags, nullptr, code, language,
                                          reinterpret_cast<wchar_t*>(&found), 0, nullptr);
    if (length != 0) text = common::narrow(std::wstring_view(found, length));
    ::LocalFree(found);
    if (length != 0) break;
  }
  while (!text.empty() &&
         (text.back() == '.' || std::isspace(static_cast<unsigned char>(text.back())) != 0)) {
    text.pop_back();
  }
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return (text.empty() ? std::string("Schannel error") : text) + " (" + hex + ").";
}

SchannelCredentials::SchannelCredentials() {
  const DWORD flags =
      SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
  // From TLS 1.2 up, whatever the system offers, TLS 1.3 included.
  TLS_PARAMETERS parameters{};
  parameters.grbitDisabledProtocols =
      SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT | SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
  SCH_CREDENTIALS current{};
  current.dwVersion = SCH_CREDENTIALS_VERSION;
  current.dwFlags = flags;
  current.cTlsParameters = 1;
  current.pTlsParameters = &parameters;
  if (acquire(&current) == SEC_E_OK) return;
  // A system older than the structure: Windows 7 speaks TLS 1.2 only when a
  // program asks for it by name.
  SCHANNEL_CRED older{};
  older.dwVersion = SCHANNEL_CRED_VERSION;
  older.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
  older.dwFlags = flags;
  const SECURITY_STATUS status = acquire(&older);
  if (status == SEC_E_OK) return;
  const bool unsupported =
      status == SEC_E_ALGORITHM_MISMATCH || status == SEC_E_UNSUPPORTED_FUNCTION;
  throw ETlsError::failed(unsupported ? ETlsError::Cause::Protocol : ETlsError::Cause::Other,
                          schannelReason(status));
}

SECURITY_STATUS SchannelCredentials::acquire(void* data) {
  wchar_t package[] = UNISP_NAME_W;
  TimeStamp expiry{};
  return ::AcquireCredentialsHandleW(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, data, nullptr,
                                     nullptr, &m_handle, &expiry);
}

void checkTlsVersion(CtxtHandle* context) {
  SecPkgContext_ConnectionInfo connection{};
  if (::QueryContextAttributesW(context, SECPKG_ATTR_CONNECTION_INFO, &connection) != SEC_E_OK) {
    return;
  }
  const DWORD older = SP_PROT_SSL2 | SP_PROT_SSL3 | SP_PROT_TLS1_0 | SP_PROT_TLS1_1;
  if ((connection.dwProtocol & older) != 0) {
    throw ETlsError::failed(ETlsError::Cause::Protocol,
                            "the server offers no TLS version from 1.2 up.");
  }
}

void verifyServerCertificate(CtxtHandle* context, const std::string& host) {
  const CERT_CONTEXT* received = nullptr;
  const SECURITY_STATUS status =
      ::QueryContextAttributesW(context, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &received);
  const Certificate certificate(received);
  if (status != SEC_E_OK || !certificate) {
    throw ETlsError::failed(ETlsError::Cause::Other, schannelReason(status));
  }
  const Chain chain = chainOf(certificate.get());
  // Some systems' SSL policy (Wine's, for one) lets a chain that ends at no
  // trusted root pass, so the chain's own verdict comes first.
  const DWORD trust = chain->TrustStatus.dwErrorStatus;
  if ((trust & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC)) != 0) {
    throw ETlsError::untrusted();
  }
  if ((trust & CERT_TRUST_IS_NOT_TIME_VALID) != 0) throw ETlsError::expired();
  if ((trust & CERT_TRUST_IS_REVOKED) != 0) {
    throw ETlsError::failed(ETlsError::Cause::Other, schannelReason(CERT_E_REVOKED));
  }
  if ((trust & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) != 0) {
    throw ETlsError::failed(ETlsError::Cause::Other, schannelReason(CERT_E_WRONG_USAGE));
  }
  // The policy adds the host name and the constraints the chain carries.
  switch (const HRESULT verdict = sslPolicyVerdict(chain.get(), host)) {
    case S_OK:
      return;
    case CERT_E_EXPIRED:
      throw ETlsError::expired();
    case CERT_E_CN_NO_MATCH:
      throw ETlsError::wrongHost(urlHost(host));
    case CERT_E_UNTRUSTEDROOT:
    case CERT_E_UNTRUSTEDTESTROOT:
    case CERT_E_UNTRUSTEDCA:
    case CERT_E_CHAINING:
    case TRUST_E_CERT_SIGNATURE:
      throw ETlsError::untrusted();
    default:
      throw ETlsError::failed(ETlsError::Cause::Other, schannelReason(verdict));
  }
}

}  // namespace netupdate::download
