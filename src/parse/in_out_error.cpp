#include "parse/in_out_error.h"

#include <cerrno>

namespace netupdate::parse {

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kSharingViolation = 32;
constexpr int kDeviceError = 1117;

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

// The messages are keyed by the host platform's codes, so errno is translated
// once, here:
//   ENOENT                        -> 2
//   ENOTDIR, ENAMETOOLONG, ELOOP  -> 3  (the name cannot be resolved to a file)
//   EMFILE, ENFILE                -> 4
//   EACCES, EPERM, EISDIR         -> 5  (a folder opened as a file is refused there too)
//   EBUSY, ETXTBSY                -> 32 (the file is held by another program)
//   EIO                           -> 1117, the device-error code: errno 5 would
//                                    otherwise read as "access denied"
//   any other errno               -> itself, shown as "I/O error N"; the only
//                                    other values below 6 (ESRCH, EINTR) never
//                                    reach here, EINTR being retried.
int ioErrorCode(int errnoValue) {
  switch (errnoValue) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
      return kPathNotFound;
    case EMFILE:
    case ENFILE:
      return kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kAccessDenied;
    case EBUSY:
    case ETXTBSY:
      return kSharingViolation;
    case EIO:
    case ESRCH:
    case EINTR:
      return kDeviceError;
    default:
      return errnoValue;
  }
}

EInOutError::EInOutError(int code, const std::string& path)
    : common::Error(messageFor(code, path)), m_code(code) {}

EInOutError EInOutError::fromErrno(int errnoValue, const std::string& path) {
  return EInOutError(ioErrorCode(errnoValue), path);
}

}  // namespace netupdate::parse
