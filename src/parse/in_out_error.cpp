#include "parse/in_out_error.h"

namespace netupdate::parse {

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;

std::string messageFor(int code, const std::string& path) {
  switch (code) {
    case kFileNotFound:
      return "The specified file was not found";
    case kPathNotFound:
      return "Invalid file name - " + path;
    case kTooManyOpenFiles:
      return "Too many open files";
    case kAccessDenied:
      return "File access denied";
    default:
      return "I/O error " + std::to_string(code);
  }
}

}  // namespace

EInOutError::EInOutError(int code, const std::string& path)
    : common::Error(messageFor(code, path)), m_code(code) {}

}  // namespace netupdate::parse
