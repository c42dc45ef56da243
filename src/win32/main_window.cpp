#include "win32/main_window.h"

#include <algorithm>
#include <exception>
#include <iterator>

#include "app/shell_rules.h"
#include "app/window_layout.h"
#include "common/error.h"
#include "common/wide_text.h"
#include "win32/dpi.h"
#include "win32/message_dialog.h"
#include "win32/standard_box.h"

namespace netupdate::win32 {

namespace {

constexpr const wchar_t* kClassName = L"TMainFrm";
constexpr UINT kRunTask = WM_APP + 1;

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

using app::kClientHeight;
using app::kClientWidth;

// SS_NOPREFIX: an address may hold an "&", which is no access key. The first
// button starts the tab group; creation order is the tab order.
constexpr DWORD kLabelStyle = SS_LEFTNOWORDWRAP | SS_NOPREFIX;
constexpr DWORD kButtonStyle = BS_PUSHBUTTON | WS_TABSTOP;

bool isLabel(const app::ControlLayout& layout) {
  return layout.kind == app::ControlKind::Label;
}

// Labels 201.., buttons 101..; the end-to-end runs find the controls by these.
constexpr int kControlIds[] = {201, 202, 203, 204, 101, 102, 103};
static_assert(std::size(kControlIds) == std::size(app::kControls));
static_assert(MainWindow::controlCount() == app::kControlCount);

DWORD controlStyle(int index) {
  const app::ControlLayout& layout = app::kControls[index];
  if (isLabel(layout)) return kLabelStyle;
  const bool firstButton = index == 0 || isLabel(app::kControls[index - 1]);
  return firstButton ? kButtonStyle | WS_GROUP : kButtonStyle;
}

void registerClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = ::DefWindowProcW;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  windowClass.lpszClassName = kClassName;
  ::RegisterClassExW(&windowClass);
}

}  // namespace

MainWindow::MainWindow() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  registerClass(instance);
  // Made with the default procedure and switched to ours at once, so that
  // `this` is known before the first message that needs it.
  m_window = ::CreateWindowExW(kExStyle, kClassName, common::widen(app::kWindowCaption).c_str(),
                               kStyle, CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight,
                               nullptr, nullptr, instance, nullptr);
  if (m_window == nullptr) throw common::Error("Cannot create the main window");
  ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainWindow::windowProc));
  createControls();
  layOut(windowDpi(m_window));
  RECT frame{};
  ::GetWindowRect(m_window, &frame);
  const POINT at =
      centredIn(workArea(m_window), {frame.right - frame.left, frame.bottom - frame.top});
  ::SetWindowPos(m_window, nullptr, at.x, at.y, 0, 0, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
}

MainWindow::~MainWindow() {
  if (m_window != nullptr) ::DestroyWindow(m_window);
  if (m_font != nullptr) ::DeleteObject(m_font);
}

void MainWindow::createControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  for (int i = 0; i < kControlCount; ++i) {
    const app::ControlLayout& layout = app::kControls[i];
    m_controls[static_cast<std::size_t>(i)] = ::CreateWindowExW(
        0, isLabel(layout) ? L"STATIC" : L"BUTTON", common::widen(layout.text).c_str(),
        WS_CHILD | WS_VISIBLE | controlStyle(i), 0, 0, 0, 0, m_window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIds[i])), instance, nullptr);
  }
}

// Everything follows the dpi: the font, the controls and the client area.
void MainWindow::layOut(int dpi) {
  const HFONT font =
      createFont(common::widen(app::kFontFamily).c_str(), app::kFontPixelHeight, dpi);
  const HDC dc = ::GetDC(m_window);
  const HGDIOBJ previous = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  for (int i = 0; i < kControlCount; ++i) {
    const app::ControlLayout& layout = app::kControls[i];
    const HWND control = m_controls[static_cast<std::size_t>(i)];
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int width = scaled(layout.width, dpi);
    // A label one line high: the font's own line, so no descender is cut.
    int height = isLabel(layout) ? std::max(scaled(layout.height, dpi), int{metrics.tmHeight})
                                 : scaled(layout.height, dpi);
    if (layout.sizedToText) {
      const std::wstring text = common::widen(layout.text);
      SIZE extent{};
      ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
      width = extent.cx;
      height = metrics.tmHeight;
    }
    ::MoveWindow(control, scaled(layout.left, dpi), scaled(layout.top, dpi), width, height, TRUE);
  }
  ::SelectObject(dc, previous);
  ::ReleaseDC(m_window, dc);
  if (m_font != nullptr) ::DeleteObject(m_font);
  m_font = font;

  const SIZE outer =
      outerSize(scaled(kClientWidth, dpi), scaled(kClientHeight, dpi), kStyle, kExStyle, dpi);
  ::SetWindowPos(m_window, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
}

bool MainWindow::isVisible() const {
  return m_window != nullptr && ::IsWindowVisible(m_window);
}

void MainWindow::runEventLoop() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) dispatch(message);
}

void MainWindow::dispatch(MSG& message) {
  if (m_window != nullptr && isOurs(message.hwnd)) {
    // Without a system menu nothing turns Alt+F4 into a close; it is ours to
    // allow or not, before the focused button's default handling sees it.
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
      userClose();
      return;
    }
    // Tab between the buttons, Enter and Esc, as in a dialog.
    if (::IsDialogMessageW(m_window, &message)) return;
  }
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

bool MainWindow::isOurs(HWND window) const {
  return window == m_window || ::IsChild(m_window, window);
}

void MainWindow::showWindow() {
  ::ShowWindow(m_window, SW_SHOW);
  ::SetForegroundWindow(m_window);
  ::UpdateWindow(m_window);
}

void MainWindow::setLabelText(app::ViewLabel label, const std::string& text) {
  const HWND control = m_controls[label == app::ViewLabel::Label2 ? Label2 : Label4];
  ::SetWindowTextW(control, common::widen(text).c_str());
}

void MainWindow::setBusyPointer(bool busy) {
  m_busy = busy;
  // The pointer changes at the next move; one resting over the window
  // changes now.
  POINT point{};
  RECT client{};
  if (isVisible() && ::GetCursorPos(&point) && ::ScreenToClient(m_window, &point) &&
      ::GetClientRect(m_window, &client) && ::PtInRect(&client, point)) {
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
  }
}

void MainWindow::pumpEvents() {
  MSG message{};
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Not ours to take: the event loop ends on it.
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    dispatch(message);
  }
}

void MainWindow::wait(int milliseconds) {
  ::Sleep(static_cast<DWORD>(std::max(0, milliseconds)));
}

common::DialogResult MainWindow::showMessageDialog(app::MessageKind kind,
                                                   const std::string& message) {
  return runMessageDialog(m_window, kind, message);
}

void MainWindow::showStandardMessageBox(const std::string& text) {
  win32::showStandardMessageBox(m_window, text);
}

void MainWindow::post(std::function<void()> task) {
  m_tasks.push_back(std::move(task));
  ::PostMessageW(m_window, kRunTask, 0, 0);
}

void MainWindow::runNextTask() {
  if (m_tasks.empty()) return;
  const std::function<void()> task = std::move(m_tasks.front());
  m_tasks.pop_front();
  task();
}

void MainWindow::closeWindow() {
  if (m_window != nullptr) ::DestroyWindow(m_window);
}

// Posted: the key that asks may still be inside the dialog manager's
// handling, which must not find its window gone on the way back.
void MainWindow::userClose() {
  if (m_form != nullptr && m_form->userMayClose()) ::PostMessageW(m_window, WM_CLOSE, 0, 0);
}

void MainWindow::activated(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    // Where the focus goes back to when the window is active again.
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(m_window, focus)) m_focus = focus;
    return;
  }
  if (!m_activated) {
    m_activated = true;
    m_focus = m_controls[Button1];
  }
  if (m_focus != nullptr) ::SetFocus(m_focus);
  if (m_form != nullptr) m_form->windowActivated();
}

void MainWindow::command(int id) {
  if (m_form == nullptr) return;
  switch (id) {
    case 101:
      m_form->Button1Click();
      break;
    case 102:
      m_form->Button2Click();
      break;
    case 103:
      m_form->Button3Click();
      break;
    case IDOK: {
      // Enter presses the button that has the focus.
      const HWND focus = ::GetFocus();
      for (const int button : {Button1, Button2, Button3}) {
        if (focus == m_controls[static_cast<std::size_t>(button)]) {
          ::SendMessageW(focus, BM_CLICK, 0, 0);
        }
      }
      break;
    }
    case IDCANCEL:
      userClose();
      break;
    default:
      break;
  }
}

LRESULT MainWindow::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      activated(wParam);
      return 0;
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) command(LOWORD(wParam));
      return 0;
    case WM_SETCURSOR:
      if (m_busy && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case kRunTask:
      runNextTask();
      return 0;
    case WM_CLOSE:
      // Anybody's close, the taskbar's included: the run sequence decides.
      if (m_form == nullptr || m_form->closeAccepted()) ::DestroyWindow(m_window);
      return 0;
    case WM_DPICHANGED: {
      layOut(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(m_window, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      return 0;
    }
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      m_window = nullptr;
      break;
    default:
      break;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK MainWindow::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  // An exception must not unwind through the system's frames. The run
  // sequence catches its own; what is left is the memory running out.
  try {
    return self->handleMessage(window, message, wParam, lParam);
  } catch (const std::exception& error) {
    win32::showStandardMessageBox(nullptr, app::unhandledErrorText(error.what()));
  } catch (...) {
    win32::showStandardMessageBox(nullptr, "Unknown error.");
  }
  return 0;
}

}  // namespace netupdate::win32
