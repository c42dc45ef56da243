#include "parse/feldolgoz.h"

#include "parse/input_file.h"
#include "parse/line_reader.h"
#include "parse/price_scanner.h"

namespace netupdate::parse {

void Feldolgoz(const std::string& TempFile, common::THaviArak& haviarak) {
  if (namesNoFile(TempFile)) return;

  InputFile file(TempFile);
  LineReader lines([&file](char* data, std::size_t size) { return file.read(data, size); });
  scanPage(lines, haviarak);
  file.close();
}

}  // namespace netupdate::parse
