#pragma once

namespace netupdate::win32 {

// The whole process: the command line, the window and its run sequence, the
// event loop; returns the exit code.
int runApplication();

}  // namespace netupdate::win32
