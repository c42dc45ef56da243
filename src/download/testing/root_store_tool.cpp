// Puts a CA certificate into the local machine's Root store of the Wine
// prefix it runs in, or takes it out again, so the https tests can trust the
// CA they make for the run. A tool of the tests' own: nothing ships it.
// Usage: root_store_tool.exe add CERT-FILE
//        root_store_tool.exe remove CERT-FILE | SHA1-THUMBPRINT
// CERT-FILE is PEM or DER. add prints the certificate's SHA-1 thumbprint;
// removing a certificate that is not in the store succeeds. Exit code 0
// done, 1 failed, 2 wrong usage.
#include <windows.h>

#include <wincrypt.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr DWORD kEncoding = X509_ASN_ENCODING | PKCS_7_ASN_ENCODING;

int failed(const wchar_t* what) {
  std::fwprintf(stderr, L"root_store_tool: %ls (error 0x%08lX)\n", what,
                static_cast<unsigned long>(::GetLastError()));
  return kFailed;
}

bool readFile(const wchar_t* path, std::vector<BYTE>& content) {
  std::FILE* file = ::_wfopen(path, L"rb");
  if (file == nullptr) return false;
  BYTE chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;) {
    content.insert(content.end(), chunk, chunk + got);
  }
  const bool complete = std::ferror(file) == 0;
  std::fclose(file);
  return complete;
}

// A PEM file's first certificate, or the file itself when it is DER.
bool decodeCertificate(const std::vector<BYTE>& file, std::vector<BYTE>& der) {
  const std::string text(file.begin(), file.end());
  if (text.find("-----BEGIN") == std::string::npos) {
    der = file;
    return !der.empty();
  }
  const std::size_t begin = text.find("-----BEGIN CERTIFICATE-----");
  if (begin == std::string::npos) return false;
  const std::string pem = text.substr(begin);
  DWORD size = 0;
  if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                              CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
    return false;
  }
  der.resize(size);
  return ::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                                CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr,
                                nullptr) != 0;
}

bool thumbprintOfFile(const wchar_t* path, std::vector<BYTE>& thumbprint) {
  std::vector<BYTE> file;
  std::vector<BYTE> der;
  if (!readFile(path, file) || !decodeCertificate(file, der)) return false;
  DWORD size = 20;
  thumbprint.resize(size);
  return ::CryptHashCertificate(0, CALG_SHA1, 0, der.data(), static_cast<DWORD>(der.size()),
                                thumbprint.data(), &size) != 0;
}

// 40 hexadecimal digits; blanks and colons between them are allowed.
bool parseThumbprint(const wchar_t* text, std::vector<BYTE>& thumbprint) {
  std::wstring digits;
  for (const wchar_t* at = text; *at != L'\0'; ++at) {
    if (std::iswxdigit(static_cast<wint_t>(*at)) != 0) {
      digits += *at;
    } else if (*at != L' ' && *at != L':') {
      return false;
    }
  }
  if (digits.size() != 40) return false;
  thumbprint.clear();
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    thumbprint.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return true;
}

void printThumbprint(const CERT_CONTEXT* certificate) {
  BYTE hash[20];
  DWORD size = sizeof hash;
  if (!::CertGetCertificateContextProperty(certificate, CERT_SHA1_HASH_PROP_ID, hash, &size)) {
    return;
  }
  for (DWORD i = 0; i < size; ++i) std::wprintf(L"%02X", hash[i]);
  std::wprintf(L"\n");
}

int add(HCERTSTORE store, const wchar_t* path) {
  std::vector<BYTE> file;
  if (!readFile(path, file)) return failed(L"cannot read the certificate file");
  std::vector<BYTE> der;
  if (!decodeCertificate(file, der)) return failed(L"the file holds no certificate");
  const CERT_CONTEXT* added = nullptr;
  if (!::CertAddEncodedCertificateToStore(store, kEncoding, der.data(),
                                          static_cast<DWORD>(der.size()),
                                          CERT_STORE_ADD_REPLACE_EXISTING, &added)) {
    return failed(L"cannot add the certificate to the Root store");
  }
  printThumbprint(added);
  ::CertFreeCertificateContext(added);
  return 0;
}

int remove(HCERTSTORE store, const wchar_t* certificateOrThumbprint) {
  std::vector<BYTE> thumbprint;
  if (::GetFileAttributesW(certificateOrThumbprint) != INVALID_FILE_ATTRIBUTES) {
    if (!thumbprintOfFile(certificateOrThumbprint, thumbprint)) {
      return failed(L"cannot read a certificate from the file");
    }
  } else if (!parseThumbprint(certificateOrThumbprint, thumbprint)) {
    std::fwprintf(stderr, L"root_store_tool: %ls is neither a file nor a SHA-1 thumbprint\n",
                  certificateOrThumbprint);
    return kUsage;
  }
  CRYPT_HASH_BLOB hash{static_cast<DWORD>(thumbprint.size()), thumbprint.data()};
  int removed = 0;
  // The search starts anew each time: deleting a certificate frees its context.
  while (const CERT_CONTEXT* found = ::CertFindCertificateInStore(
             store, kEncoding, 0, CERT_FIND_SHA1_HASH, &hash, nullptr)) {
    if (!::CertDeleteCertificateFromStore(found)) {
      return failed(L"cannot remove the certificate from the Root store");
    }
    ++removed;
  }
  std::wprintf(removed > 0 ? L"removed\n" : L"not in the Root store\n");
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc == 3 ? argv[1] : L"";
  if (command != L"add" && command != L"remove") {
    std::fwprintf(stderr,
                  L"usage: root_store_tool.exe add CERT-FILE\n"
                  L"       root_store_tool.exe remove CERT-FILE|SHA1-THUMBPRINT\n");
    return kUsage;
  }
  HCERTSTORE store =
      ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
  if (store == nullptr) return failed(L"cannot open the local machine's Root store");
  int result = command == L"add" ? add(store, argv[2]) : remove(store, argv[2]);
  // Committed explicitly: a store is written back at its close only once no
  // context holds it, and Wine's keeps one of a deleted certificate.
  if (result == 0 && !::CertControlStore(store, 0, CERT_STORE_CTRL_COMMIT, nullptr)) {
    result = failed(L"cannot save the Root store");
  }
  ::CertCloseStore(store, 0);
  return result;
}
