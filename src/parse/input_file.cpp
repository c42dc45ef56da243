#include "parse/input_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "parse/in_out_error.h"

namespace netupdate::parse {

InputFile::InputFile(const std::string& path) : m_path(path) {
  do {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (m_fd < 0 && errno == EINTR);
  if (m_fd < 0) throw EInOutError::fromErrno(errno, m_path);
}

InputFile::~InputFile() {
  if (m_fd >= 0) ::close(m_fd);
}

std::size_t InputFile::read(char* data, std::size_t size) {
  for (;;) {
    const ssize_t n = ::read(m_fd, data, size);
    if (n >= 0) return static_cast<std::size_t>(n);
    if (errno != EINTR) throw EInOutError::fromErrno(errno, m_path);
  }
}

void InputFile::close() {
  const int fd = m_fd;
  m_fd = -1;
  // Linux releases the descriptor even when close fails, so it is never retried.
  if (fd >= 0 && ::close(fd) != 0 && errno != EINTR) throw EInOutError::fromErrno(errno, m_path);
}

}  // namespace netupdate::parse
