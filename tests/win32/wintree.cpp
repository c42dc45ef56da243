// Prints the top-level windows of the desktop it runs on, with their child
// controls, as one JSON document, for the end-to-end tests to read the
// program's windows the way the system sees them: classes, captions,
// styles, sizes, which control has the focus, and the controls' texts.
// Usage: wintree.exe [IMAGE-SUFFIX]   only windows of processes whose image
// path ends in IMAGE-SUFFIX (compared without regard to case)
#include <windows.h>

#include <cstdio>
#include <cwctype>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), length, nullptr, nullptr);
  return out;
}

std::string quoted(const std::wstring& text) {
  std::string out = "\"";
  for (const char c : utf8(text)) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned char>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::wstring windowText(HWND window) {
  // Sent, not read from the window's cache, so a control's own text comes
  // back; a hung program is not waited for long.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) {
    return {};
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_ABORTIFHUNG, 2000, &copied);
  text.resize(copied);
  return text;
}

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring imagePath(DWORD pid) {
  const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (process == nullptr) return {};
  wchar_t path[MAX_PATH * 2] = {};
  DWORD size = MAX_PATH * 2;
  if (!QueryFullProcessImageNameW(process, 0, path, &size)) size = 0;
  CloseHandle(process);
  return std::wstring(path, size);
}

bool endsWith(const std::wstring& text, const std::wstring& suffix) {
  if (suffix.size() > text.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (std::towlower(text[text.size() - suffix.size() + i]) != std::towlower(suffix[i])) {
      return false;
    }
  }
  return true;
}

std::string styleFlags(HWND window) {
  const auto style = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE));
  const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE));
  const struct {
    DWORD bits;
    bool extended;
    const char* name;
  } flags[] = {
      {WS_CAPTION, false, "caption"},         {WS_SYSMENU, false, "sysmenu"},
      {WS_THICKFRAME, false, "thickframe"},   {WS_MINIMIZEBOX, false, "minimizebox"},
      {WS_MAXIMIZEBOX, false, "maximizebox"}, {WS_DISABLED, false, "disabled"},
      {WS_TABSTOP, false, "tabstop"},         {WS_EX_APPWINDOW, true, "appwindow"},
      {WS_EX_TOOLWINDOW, true, "toolwindow"}, {WS_EX_DLGMODALFRAME, true, "dlgmodalframe"},
  };
  std::string out = "[";
  for (const auto& flag : flags) {
    const DWORD value = flag.extended ? exStyle : style;
    if ((value & flag.bits) != flag.bits) continue;
    if (out.size() > 1) out += ",";
    out += std::string("\"") + flag.name + "\"";
  }
  return out + "]";
}

std::string box(const RECT& rect) {
  char text[96];
  std::snprintf(text, sizeof text, "[%ld,%ld,%ld,%ld]", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
  return text;
}

std::string handle(HWND window) {
  char text[32];
  std::snprintf(text, sizeof text, "\"%llx\"",
                static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  return text;
}

struct Listing {
  std::wstring suffix;
  std::vector<std::string> windows;
};

BOOL CALLBACK listChild(HWND child, LPARAM context) {
  auto& children = *reinterpret_cast<std::vector<std::string>*>(context);
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  children.push_back(
      "{\"hwnd\":" + handle(child) + ",\"id\":" + std::to_string(GetDlgCtrlID(child)) +
      ",\"class\":" + quoted(className(child)) + ",\"rect\":" + box(rect) +
      ",\"visible\":" + (IsWindowVisible(child) ? "true" : "false") +
      ",\"style\":" + styleFlags(child) + ",\"text\":" + quoted(windowText(child)) + "}");
  return TRUE;
}

BOOL CALLBACK listWindow(HWND window, LPARAM context) {
  auto& listing = *reinterpret_cast<Listing*>(context);
  DWORD pid = 0;
  const DWORD thread = GetWindowThreadProcessId(window, &pid);
  if (pid == GetCurrentProcessId()) return TRUE;
  const std::wstring image = imagePath(pid);
  if (!listing.suffix.empty() && !endsWith(image, listing.suffix)) return TRUE;

  RECT outer{};
  RECT client{};
  GetWindowRect(window, &outer);
  GetClientRect(window, &client);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  GetGUIThreadInfo(thread, &gui);
  std::vector<std::string> children;
  EnumChildWindows(window, listChild, reinterpret_cast<LPARAM>(&children));
  std::string joined;
  for (const std::string& child : children) joined += (joined.empty() ? "" : ",") + child;

  listing.windows.push_back(
      "{\"hwnd\":" + handle(window) + ",\"pid\":" + std::to_string(pid) +
      ",\"image\":" + quoted(image) + ",\"class\":" + quoted(className(window)) + ",\"caption\":" +
      quoted(windowText(window)) + ",\"visible\":" + (IsWindowVisible(window) ? "true" : "false") +
      ",\"enabled\":" + (IsWindowEnabled(window) ? "true" : "false") +
      ",\"owner\":" + handle(GetWindow(window, GW_OWNER)) + ",\"outer\":" + box(outer) +
      ",\"client\":" + box(client) + ",\"style\":" + styleFlags(window) +
      ",\"active\":" + handle(gui.hwndActive) + ",\"focus\":" + handle(gui.hwndFocus) +
      ",\"children\":[" + joined + "]}");
  return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Sizes in the screen's own pixels, as the program under test sees them.
  SetProcessDPIAware();
  Listing listing;
  if (argc > 1) listing.suffix = argv[1];
  EnumWindows(listWindow, reinterpret_cast<LPARAM>(&listing));
  const RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  std::string out = "{\"screen\":" + box(screen) + ",\"workarea\":" + box(work) +
                    ",\"dpi\":" + std::to_string(GetDeviceCaps(GetDC(nullptr), LOGPIXELSY)) +
                    ",\"windows\":[";
  for (std::size_t i = 0; i < listing.windows.size(); ++i) {
    out += (i == 0 ? "" : ",") + listing.windows[i];
  }
  out += "]}\n";
  // Bytes as they are: the reader decodes UTF-8.
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), out.data(), static_cast<DWORD>(out.size()), &written,
            nullptr);
  return 0;
}
