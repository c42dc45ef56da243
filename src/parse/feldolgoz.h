#pragma once

#include <string>

#include "common/prices.h"
#include "parse/in_out_error.h"

namespace netupdate::parse {

// Reads the saved price page TempFile into haviarak. Only the cells for which
// the page yields a price are written; the rest keep what they held. A
// missing file or a folder is not an error: nothing happens. A failure of the
// file system raises EInOutError, with the prices stored up to then kept.
void Feldolgoz(const std::string& TempFile, common::THaviArak& haviarak);

}  // namespace netupdate::parse
