#pragma once

#include <string>

#include "download/byte_sink.h"

namespace netupdate::download {

// A byte sink over a POSIX file descriptor it owns. Move-only; the
// destructor closes quietly, close() reports a failure.
class FileSink : public ByteSink {
 public:
  // Creates the file or truncates an existing one (mode 0666 less the umask),
  // open for reading and writing. Throws common::Error with
  // cannotCreateFileMessage() on failure.
  static FileSink create(const std::string& path);

  explicit FileSink(int fd) : m_fd(fd) {}
  FileSink(FileSink&& other) noexcept;
  FileSink& operator=(FileSink&& other) noexcept;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override;

  // Throws common::Error("Stream write error") when the bytes can't all be written.
  void write(const char* data, std::size_t size) override;
  void close();
  int fd() const { return m_fd; }

 private:
  int m_fd;
};

// The path made absolute against the working directory (not normalised), as
// the user should see it in a message.
std::string fullPath(const std::string& path);

// "Cannot create file \"<full path>\". <system text>", the system's text for
// errnoValue with trailing blanks and periods removed.
std::string cannotCreateFileMessage(const std::string& path, int errnoValue);

}  // namespace netupdate::download
