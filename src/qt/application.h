#pragma once

namespace netupdate::qt {

// The whole process: start-up, the window's event loop, and the exit code
// the host application reads.
int runApplication(int argc, char** argv);

}  // namespace netupdate::qt
