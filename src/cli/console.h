#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace netupdate::cli {

// The platform's side of a terminal program, one implementation file per
// platform. Inside, every text is UTF-8.

// The arguments, the program's name first. POSIX hands them over as they
// are; on Windows they are read from the wide command line and split by the
// usual rules of Windows programs, so names in any language arrive whole.
std::vector<std::string> programArguments(int argc, char** argv);

// The full path of the running program's file, UTF-8; empty when the system
// cannot tell.
std::string programPath();

// Makes the standard streams carry exactly the bytes written: no line-end
// translation, so a redirected output is the same file on every platform.
void useBinaryStandardStreams();

// Writes text to stdout or stderr. A Windows console is given characters, so
// Hungarian letters show whatever its code page; a file or a pipe gets the
// UTF-8 bytes, on every platform.
void writeText(std::FILE* stream, std::string_view text);

}  // namespace netupdate::cli
