#pragma once

#include <cstddef>
#include <string>

namespace netupdate::parse {

// The page file, open for reading while the object lives. Failures are
// raised as EInOutError; the destructor closes quietly, so an error half-way
// through never leaves the descriptor open.
class InputFile {
 public:
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
  int m_fd = -1;
};

}  // namespace netupdate::parse
