#pragma once

#include <windows.h>

#include <string>

#include "app/main_view.h"
#include "common/user_interface.h"

namespace netupdate::win32 {

// The program's own modal message dialog: the system's MessageBox wraps the
// text by rules of its own, this one at half the screen's width. Caption
// "Error" with the stop icon and OK, or "Confirm" with the question mark,
// "&Yes" and "&No". Enter presses the focused button (at first OK or Yes),
// Esc answers OK or No, the close box Cancel. `mainWindow` is disabled while
// the dialog is open; the dialog is centred on its screen and belongs to it
// when it is visible, otherwise it stands alone with a taskbar button of its
// own, as at start-up before the window is shown.
common::DialogResult runMessageDialog(HWND mainWindow, app::MessageKind kind,
                                      const std::string& message);

}  // namespace netupdate::win32
