#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "download/byte_sink.h"

namespace netupdate::download {

// A byte sink over a file it owns. Move-only; the destructor closes quietly,
// close() reports a failure. One implementation file per platform.
class FileSink : public ByteSink {
 public:
  // Creates the file or truncates an existing one, open for reading and
  // writing, with normal attributes (POSIX: mode 0666 less the umask) and
  // shared with other programs for reading and writing. Throws common::Error
  // with cannotCreateFileMessage() on failure.
  static FileSink create(const std::string& path);
  // The same file, opened the same way, but only when no file of that name
  // exists yet: none when one does. For probes, which must never empty a
  // file somebody else put there.
  static std::optional<FileSink> createNew(const std::string& path);

  FileSink(FileSink&& other) noexcept;
  FileSink& operator=(FileSink&& other) noexcept;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override;

  // Throws common::Error("Stream write error") when the bytes can't all be written.
  void write(const char* data, std::size_t size) override;
  void close();

 private:
  // A descriptor on POSIX, a HANDLE on Windows; -1 is none on both.
  explicit FileSink(std::intptr_t handle) : m_handle(handle) {}
  void closeQuietly() noexcept;

  std::intptr_t m_handle;
};

// Deletes a file. Throws common::Error with "Cannot delete file \"<full
// path>\". <system text>" on failure.
void removeFile(const std::string& path);

// The path made absolute against the working directory, as the user should
// see it in a message.
std::string fullPath(const std::string& path);

// "Cannot create file \"<full path>\". <system text>", the system's text for
// systemError (errno on POSIX, GetLastError() on Windows) with trailing
// blanks and periods removed.
std::string cannotCreateFileMessage(const std::string& path, int systemError);

}  // namespace netupdate::download
