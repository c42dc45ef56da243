#pragma once

#include <windows.h>

#include <string>

namespace netupdate::win32 {

// The system's own message box for the report of an unhandled error:
// captioned with the application title, stop icon, one OK button. It belongs
// to `mainWindow` when that is shown; otherwise it holds the thread's windows
// still by itself.
void showStandardMessageBox(HWND mainWindow, const std::string& text);

}  // namespace netupdate::win32
