#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace netupdate::parse {

// The page file, open for reading while the object lives, shared with other
// programs for reading and writing. Failures are raised as EInOutError; the
// destructor closes quietly, so an error half-way through never leaves the
// file open. One implementation file per platform.
class InputFile {
 public:
  // A folder is refused like a file that may not be read.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Up to size bytes; 0 only at the end of the file.
  std::size_t read(char* data, std::size_t size);

  // Unlike the destructor, reports a failed close.
  void close();

 private:
  std::string m_path;
  // A descriptor on POSIX, a HANDLE on Windows; -1 is none on both.
  std::intptr_t m_handle = -1;
};

// True only when path certainly names no file: nothing is there, or a folder
// is. A name that cannot be looked up for another reason is left to the
// open, which then reports why.
bool namesNoFile(const std::string& path);

}  // namespace netupdate::parse
