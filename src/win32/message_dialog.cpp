#include "win32/message_dialog.h"

#include <algorithm>
#include <vector>

#include "common/wide_text.h"
#include "win32/dpi.h"
#include "win32/message_layout.h"

namespace netupdate::win32 {

namespace {

using common::DialogResult;

constexpr int kIconId = 100;
constexpr int kTextId = 101;

// The static control wraps with these flags when it has SS_LEFT,
// SS_NOPREFIX and SS_EDITCONTROL; measuring with the same ones makes the
// measured lines the drawn ones. DT_EDITCONTROL breaks a word longer than
// the line instead of letting it run out of the dialog.
constexpr UINT kTextFormat = DT_LEFT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX | DT_EXPANDTABS;

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;

struct DialogButton {
  int id;
  const wchar_t* text;
  DialogResult answer;
};

class DialogState {
 public:
  DialogState(app::MessageKind messageKind, const std::string& message, HWND ownerWindow)
      : kind(messageKind), text(withWindowsLineBreaks(common::widen(message))), owner(ownerWindow) {
    if (kind == app::MessageKind::Error) {
      buttons = {{IDOK, L"OK", DialogResult::Ok}};
      escapeAnswer = DialogResult::Ok;
    } else {
      buttons = {{IDYES, L"&Yes", DialogResult::Yes}, {IDNO, L"&No", DialogResult::No}};
      escapeAnswer = DialogResult::No;
    }
  }
  ~DialogState() { release(); }
  DialogState(const DialogState&) = delete;
  DialogState& operator=(const DialogState&) = delete;

  void release() {
    if (font != nullptr) ::DeleteObject(font);
    if (icon != nullptr) ::DestroyIcon(icon);
    font = nullptr;
    icon = nullptr;
  }

  app::MessageKind kind;
  std::wstring text;
  HWND owner;
  std::vector<DialogButton> buttons;
  DialogResult escapeAnswer = DialogResult::Ok;
  DialogResult answer = DialogResult::Cancel;
  HFONT font = nullptr;
  HICON icon = nullptr;
};

// DLGTEMPLATE, then no menu, the default class and the caption; no
// controls, which the dialog makes itself once it knows its dpi.
std::vector<WORD> dialogTemplate(const std::wstring& caption, DWORD exStyle) {
  // Style, extended style, no items, x, y, cx and cy (set later), no menu,
  // the dialog class; then the caption with its terminating NUL.
  constexpr std::size_t kHeaderWords = 2 + 2 + 1 + 4 + 2;
  std::vector<WORD> words(kHeaderWords + caption.size() + 1, 0);
  words[0] = LOWORD(kStyle);
  words[1] = HIWORD(kStyle);
  words[2] = LOWORD(exStyle);
  words[3] = HIWORD(exStyle);
  for (std::size_t i = 0; i < caption.size(); ++i) {
    words[kHeaderWords + i] = static_cast<WORD>(caption[i]);
  }
  return words;
}

DialogState& stateOf(HWND dialog) {
  return *reinterpret_cast<DialogState*>(::GetWindowLongPtrW(dialog, DWLP_USER));
}

int textWidth(HDC dc, const wchar_t* text) {
  std::wstring shown;
  for (const wchar_t* c = text; *c != L'\0'; ++c) {
    if (*c != L'&') shown += *c;
  }
  SIZE size{};
  ::GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
  return size.cx;
}

void layOut(HWND dialog, DialogState& state, int dpi) {
  state.release();
  state.font = createMessageFont(dpi);
  state.icon = loadSystemIcon(state.kind == app::MessageKind::Error ? IDI_HAND : IDI_QUESTION, dpi);

  const RECT screen = monitorArea(state.owner != nullptr ? state.owner : dialog);
  MessageMeasures measures;
  measures.dpi = dpi;
  measures.buttonCount = static_cast<int>(state.buttons.size());
  measures.iconSize = iconSize(dpi);

  const HDC dc = ::GetDC(dialog);
  const HGDIOBJ previous = ::SelectObject(dc, state.font);
  RECT text{0, 0, wrapWidth(screen.right - screen.left), 0};
  ::DrawTextW(dc, state.text.c_str(), static_cast<int>(state.text.size()), &text,
              kTextFormat | DT_CALCRECT);
  measures.textWidth = text.right - text.left;
  measures.textHeight = text.bottom - text.top;
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  for (const DialogButton& button : state.buttons) {
    measures.buttonWidth = std::max(measures.buttonWidth, textWidth(dc, button.text));
  }
  measures.buttonWidth += 2 * scaled(12, dpi);
  measures.buttonHeight = std::max(scaled(23, dpi), int{metrics.tmHeight} + scaled(8, dpi));
  ::SelectObject(dc, previous);
  ::ReleaseDC(dialog, dc);

  const MessageLayout layout = layOutMessage(measures);
  const auto place = [dialog, &state](int id, const Box& box) {
    const HWND control = ::GetDlgItem(dialog, id);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(state.font), FALSE);
    ::MoveWindow(control, box.left, box.top, box.width, box.height, TRUE);
  };
  place(kTextId, layout.text);
  place(kIconId, layout.icon);
  ::SendMessageW(::GetDlgItem(dialog, kIconId), STM_SETICON, reinterpret_cast<WPARAM>(state.icon),
                 0);
  for (std::size_t i = 0; i < state.buttons.size(); ++i) {
    place(state.buttons[i].id, layout.buttons[i]);
  }

  const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(dialog, GWL_EXSTYLE));
  const SIZE outer = outerSize(layout.clientWidth, layout.clientHeight, kStyle, exStyle, dpi);
  const POINT at = centredIn(screen, outer);
  ::SetWindowPos(dialog, nullptr, at.x, at.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

void createControls(HWND dialog, const DialogState& state) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const auto make = [dialog, instance](const wchar_t* className, const wchar_t* text, DWORD style,
                                       int id) {
    return ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, dialog,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  };
  make(L"STATIC", nullptr, SS_ICON, kIconId);
  make(L"STATIC", state.text.c_str(), SS_LEFT | SS_NOPREFIX | SS_EDITCONTROL, kTextId);
  bool first = true;
  for (const DialogButton& button : state.buttons) {
    const DWORD style = WS_TABSTOP | (first ? WS_GROUP | BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    make(L"BUTTON", button.text, style, button.id);
    first = false;
  }
}

void finish(HWND dialog, DialogResult answer) {
  stateOf(dialog).answer = answer;
  ::EndDialog(dialog, 0);
}

INT_PTR CALLBACK dialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      ::SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      DialogState& state = stateOf(dialog);
      createControls(dialog, state);
      const int dpi = windowDpi(state.owner != nullptr ? state.owner : dialog);
      layOut(dialog, state, dpi);
      const HWND first = ::GetDlgItem(dialog, state.buttons.front().id);
      ::SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(state.buttons.front().id), 0);
      ::SetFocus(first);
      return FALSE;  // the focus is set
    }
    case WM_DPICHANGED: {
      layOut(dialog, stateOf(dialog), HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(dialog, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSIZE);
      return TRUE;
    }
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      DialogState& state = stateOf(dialog);
      const int id = LOWORD(wParam);
      if (id == IDCANCEL) {
        finish(dialog, state.escapeAnswer);
        return TRUE;
      }
      // IDOK without an OK button: Enter when no button has claimed it.
      if (id == IDOK && state.buttons.front().id != IDOK) {
        finish(dialog, state.buttons.front().answer);
        return TRUE;
      }
      for (const DialogButton& button : state.buttons) {
        if (button.id == id) {
          finish(dialog, button.answer);
          return TRUE;
        }
      }
      return FALSE;
    }
    case WM_CLOSE:
      // The close box and Alt+F4; the dialog manager would make them Esc.
      finish(dialog, DialogResult::Cancel);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

DialogResult runMessageDialog(HWND mainWindow, app::MessageKind kind, const std::string& message) {
  const bool shown = mainWindow != nullptr && ::IsWindowVisible(mainWindow);
  const HWND owner = shown ? mainWindow : nullptr;
  DialogState state(kind, message, owner);
  const std::wstring caption = kind == app::MessageKind::Error ? L"Error" : L"Confirm";
  const std::vector<WORD> words = dialogTemplate(caption, owner != nullptr ? 0 : WS_EX_APPWINDOW);

  // The dialog disables its owner itself; a window not shown yet has to be
  // kept from taking input by hand, so that it is not used before the answer.
  const bool disableByHand = mainWindow != nullptr && !shown && ::IsWindowEnabled(mainWindow);
  if (disableByHand) ::EnableWindow(mainWindow, FALSE);
  const INT_PTR result = ::DialogBoxIndirectParamW(
      ::GetModuleHandleW(nullptr), reinterpret_cast<const DLGTEMPLATE*>(words.data()), owner,
      dialogProc, reinterpret_cast<LPARAM>(&state));
  if (disableByHand) ::EnableWindow(mainWindow, TRUE);
  return result == -1 ? DialogResult::Cancel : state.answer;
}

}  // namespace netupdate::win32
