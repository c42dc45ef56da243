#pragma once

namespace netupdate::parse {

// POSIX only: the code, in the Windows numbering EInOutError keys its
// messages by, for errno as a failed call on the page file left it.
int ioErrorCode(int errnoValue);

}  // namespace netupdate::parse
