#include <iconv.h>

#include <stdexcept>
#include <string>

#include "common/codepage_tables.h"

namespace netupdate::common::detail {

namespace {

constexpr const char* kAnsiCodePageName = "WINDOWS-1250";
constexpr unsigned kAnsiCodePage = 1250;

}  // namespace

// The tables come from the C library's own converter.
CodePageTables buildAnsiTables() {
  iconv_t cd = iconv_open("UTF-32LE", kAnsiCodePageName);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    throw std::runtime_error("The C library has no converter for code page " +
                             std::string(kAnsiCodePageName));
  }
  CodePageTables tables;
  tables.codePage = kAnsiCodePage;
  for (unsigned value = 0; value < 256; ++value) {
    char in = static_cast<char>(value);
    unsigned char out[4] = {};
    char* inPtr = &in;
    std::size_t inLeft = 1;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t outLeft = sizeof out;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char32_t cp = value;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1) &&
        outLeft == 0) {
      cp = static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (out[3] << 24));
    }
    tables.toUnicode[value] = cp;
  }
  iconv_close(cd);
  return tables;
}

}  // namespace netupdate::common::detail
