#pragma once

#include <windows.h>

// Pixels on a screen of any resolution. The window is designed in 96-dpi
// pixels; the manifest makes the program dpi-aware (per monitor where the
// system can, system-wide on older ones), so Windows does not stretch it
// and every size is scaled here. The calls that know a monitor's own dpi
// came with Windows 10; on older systems the system dpi stands in.
namespace netupdate::win32 {

inline constexpr int kDesignDpi = 96;

// The dpi of the monitor the window is on.
int windowDpi(HWND window);

// A length of the 96-dpi design at `dpi`.
int scaled(int designPixels, int dpi);

// The outer rectangle of a window whose client area is `width` × `height`.
SIZE outerSize(int width, int height, DWORD style, DWORD exStyle, int dpi);

// The monitor the window is on (the primary one for none), and its work area.
RECT monitorArea(HWND window);
RECT workArea(HWND window);

// Where a window of `size` stands centred in `area`, kept inside it.
POINT centredIn(const RECT& area, SIZE size);

// The font of message boxes at `dpi`; the caller deletes it.
HFONT createMessageFont(int dpi);

// A font by face name with a character height of `designPixels` at 96 dpi.
HFONT createFont(const wchar_t* face, int designPixels, int dpi);

// The side of a large icon (a message box's) at `dpi`.
int iconSize(int dpi);

// The system icon `id` (IDI_HAND, IDI_QUESTION) at the icon size for
// `dpi`; the caller destroys it.
HICON loadSystemIcon(const wchar_t* id, int dpi);

}  // namespace netupdate::win32
