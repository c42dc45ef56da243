#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "common/error.h"
#include "download/file_sink.h"

namespace netupdate::download {

namespace {

int descriptor(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

FileSink FileSink::create(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) throw common::Error(cannotCreateFileMessage(path, errno));
  return FileSink(fd);
}

std::optional<FileSink> FileSink::createNew(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0 && errno == EEXIST) return std::nullopt;
  if (fd < 0) throw common::Error(cannotCreateFileMessage(path, errno));
  return FileSink(fd);
}

void removeFile(const std::string& path) {
  if (::unlink(path.c_str()) == 0) return;
  std::string reason = std::strerror(errno);
  while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.')) reason.pop_back();
  throw common::Error("Cannot delete file \"" + fullPath(path) + "\". " + reason);
}

FileSink::FileSink(FileSink&& other) noexcept : m_handle(std::exchange(other.m_handle, -1)) {}

FileSink& FileSink::operator=(FileSink&& other) noexcept {
  if (this != &other) {
    closeQuietly();
    m_handle = std::exchange(other.m_handle, -1);
  }
  return *this;
}

FileSink::~FileSink() {
  closeQuietly();
}

void FileSink::closeQuietly() noexcept {
  if (m_handle != -1) ::close(descriptor(std::exchange(m_handle, -1)));
}

void FileSink::write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = m_handle == -1 ? -1 : ::write(descriptor(m_handle), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw common::Error("Stream write error");
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void FileSink::close() {
  if (m_handle == -1) return;
  // A failed close can mean the data never reached the disk (NFS, quotas), so it is reported.
  if (::close(descriptor(std::exchange(m_handle, -1))) != 0 && errno != EINTR) {
    throw common::Error("Stream write error");
  }
}

// Not normalised: the user sees the name as given, after the working directory.
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

std::string cannotCreateFileMessage(const std::string& path, int systemError) {
  std::string reason = std::strerror(systemError);
  while (!reason.empty() && (reason.back() == ' ' || reason.back() == '.')) reason.pop_back();
  return "Cannot create file \"" + fullPath(path) + "\". " + reason;
}

}  // namespace netupdate::download
