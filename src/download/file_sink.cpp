#include "download/file_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/error.h"

namespace netupdate::download {

FileSink FileSink::create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw common::Error(cannotCreateFileMessage(path, errno));
  return FileSink(fd);
}

FileSink::FileSink(FileSink&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileSink& FileSink::operator=(FileSink&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

FileSink::~FileSink() {
  if (m_fd >= 0) ::close(m_fd);
}

void FileSink::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = m_fd < 0 ? -1 : ::write(m_fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw common::Error("Stream write error");
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void FileSink::close() {
  if (m_fd < 0) return;
  // A failed close can mean the data never reached the disk (NFS, quotas), so it is reported.
  if (::close(std::exchange(m_fd, -1)) != 0 && errno != EINTR) {
    throw common::Error("Stream write error");
  }
}

std::string fullPath(const std::string& path) {
  if (!path.empty() && path.front() == '/') return path;
  std::string directory(4096, '\0');
  while (::getcwd(directory.data(), directory.size()) == nullptr) {
    if (errno != ERANGE) return path;
    directory.resize(directory.size() * 2);
  }
  directory.resize(std::strlen(directory.c_str()));
  if (directory.empty() || directory.back() != '/') directory += '/';
  return directory + path;
}

std::string cannotCreateFileMessage(const std::string& path, int errnoValue) {
  std::string reason = std::strerror(errnoValue);
  while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.')) reason.pop_back();
  return "Cannot create file \"" + fullPath(path) + "\". " + reason;
}

}  // namespace netupdate::download
