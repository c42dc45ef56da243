#include "parse/feldolgoz.h"

#include <sys/stat.h>

#include <cerrno>

#include "parse/input_file.h"
#include "parse/line_reader.h"
#include "parse/price_scanner.h"

namespace netupdate::parse {

namespace {

// Only a path that certainly names no file is skipped silently. When the
// name itself cannot be resolved (too long, a loop of links) or cannot be
// looked at, opening it reports why.
bool namesNoFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) == 0) return S_ISDIR(status.st_mode);
  return errno == ENOENT || errno == ENOTDIR;
}

}  // namespace

void Feldolgoz(const std::string& TempFile, common::THaviArak& haviarak) {
  if (namesNoFile(TempFile)) return;

  InputFile file(TempFile);
  LineReader lines([&file](char* data, std::size_t size) { return file.read(data, size); });
  scanPage(lines, haviarak);
  file.close();
}

}  // namespace netupdate::parse
