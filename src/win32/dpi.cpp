#include "win32/dpi.h"

#include <commctrl.h>

#include <algorithm>

namespace netupdate::win32 {

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
using LoadIconWithScaleDownFn = HRESULT(WINAPI*)(HINSTANCE, const wchar_t*, int, int, HICON*);

// Looked up at run time: a static import of a Windows 10 call would keep
// the program from starting on Windows 7.
template <typename Function>
Function lookUp(const wchar_t* module, const char* name) {
  const HMODULE library = ::GetModuleHandleW(module);
  if (library == nullptr) return nullptr;
  // Through the generic function type, which every function type may be cast to and from.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(library, name)));
}

int systemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : kDesignDpi;
}

}  // namespace

int windowDpi(HWND window) {
  static const auto getDpiForWindow = lookUp<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
  if (getDpiForWindow != nullptr && window != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return systemDpi();
}

int scaled(int designPixels, int dpi) {
  return ::MulDiv(designPixels, dpi, kDesignDpi);
}

SIZE outerSize(int width, int height, DWORD style, DWORD exStyle, int dpi) {
  static const auto adjustForDpi =
      lookUp<AdjustWindowRectExForDpiFn>(L"user32.dll", "AdjustWindowRectExForDpi");
  RECT rect{0, 0, width, height};
  if (adjustForDpi != nullptr) {
    adjustForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi));
  } else {
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return {rect.right - rect.left, rect.bottom - rect.top};
}

RECT monitorArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcMonitor;
}

RECT workArea(HWND window) {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(::MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcWork;
}

POINT centredIn(const RECT& area, SIZE size) {
  const LONG left = area.left + (area.right - area.left - size.cx) / 2;
  const LONG top = area.top + (area.bottom - area.top - size.cy) / 2;
  // A window larger than the area keeps its caption on the screen.
  return {std::max(area.left, left), std::max(area.top, top)};
}

HFONT createMessageFont(int dpi) {
  static const auto forDpi =
      lookUp<SystemParametersInfoForDpiFn>(L"user32.dll", "SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (forDpi != nullptr &&
      forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, static_cast<UINT>(dpi))) {
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
  }
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // Given for the system dpi; a monitor of another one needs it rescaled.
    metrics.lfMessageFont.lfHeight = ::MulDiv(metrics.lfMessageFont.lfHeight, dpi, systemDpi());
    return ::CreateFontIndirectW(&metrics.lfMessageFont);
  }
  return createFont(L"Tahoma", 11, dpi);
}

HFONT createFont(const wchar_t* face, int designPixels, int dpi) {
  LOGFONTW font{};
  // Negative: the character height, without the internal leading.
  font.lfHeight = -scaled(designPixels, dpi);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = DEFAULT_CHARSET;
  font.lfQuality = DEFAULT_QUALITY;
  ::lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return ::CreateFontIndirectW(&font);
}

int iconSize(int dpi) {
  // The system metric is given for the system dpi.
  return ::MulDiv(::GetSystemMetrics(SM_CXICON), dpi, systemDpi());
}

HICON loadSystemIcon(const wchar_t* id, int dpi) {
  // comctl32 version 6 is the one the manifest asks for; it draws the icon
  // from its large image instead of stretching the 32-pixel one.
  static const auto scaleDown =
      lookUp<LoadIconWithScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
  const int size = iconSize(dpi);
  HICON icon = nullptr;
  if (scaleDown != nullptr && SUCCEEDED(scaleDown(nullptr, id, size, size, &icon))) return icon;
  return ::CopyIcon(::LoadIconW(nullptr, id));
}

}  // namespace netupdate::win32
