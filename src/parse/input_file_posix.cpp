#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "parse/errno_codes.h"
#include "parse/in_out_error.h"
#include "parse/input_file.h"

namespace netupdate::parse {

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kTooManyOpenFiles = 4;
constexpr int kAccessDenied = 5;
constexpr int kSharingViolation = 32;
constexpr int kDeviceError = 1117;

EInOutError failure(int errnoValue, const std::string& path) {
  return EInOutError(ioErrorCode(errnoValue), path);
}

int descriptor(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

// The messages are keyed by Windows codes, so errno is translated once, here:
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

InputFile::InputFile(const std::string& path) : m_path(path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) throw failure(errno, m_path);
  // Linux opens a folder for reading; Windows refuses it, and so do we.
  struct stat status {};
  const int refused = ::fstat(fd, &status) != 0 ? errno : S_ISDIR(status.st_mode) ? EISDIR : 0;
  if (refused != 0) {
    ::close(fd);
    throw failure(refused, m_path);
  }
  m_handle = fd;
}

InputFile::~InputFile() {
  if (m_handle >= 0) ::close(descriptor(m_handle));
}

std::size_t InputFile::read(char* data, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(descriptor(m_handle), data, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw failure(errno, m_path);
  }
}

void InputFile::close() {
  const int fd = descriptor(m_handle);
  m_handle = -1;
  // Linux releases the descriptor even when close fails, so it is never retried.
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw failure(errno, m_path);
}

// Only a path that certainly names no file is skipped silently. When the
// name itself cannot be resolved (too long, a loop of links) or cannot be
// looked at, opening it reports why.
bool namesNoFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
  return errno == ENOENT || errno == ENOTDIR;
}

}  // namespace netupdate::parse
