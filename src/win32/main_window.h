#pragma once

#include <windows.h>

#include <array>
#include <deque>
#include <functional>
#include <string>

#include "app/main_frm.h"
#include "app/main_view.h"

namespace netupdate::win32 {

// The main window in plain Win32: a fixed dialog frame with a caption but no
// system menu, the four labels and three buttons, Tahoma at 12 pixels, all
// scaled with the dpi of the monitor it is on. It forwards its events to a
// TMainFrm and does what the run sequence asks of it.
class MainWindow final : public app::MainView {
 public:
  // Created hidden, centred in the work area.
  MainWindow();
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Events go to `form` from now on, to nobody after nullptr.
  void connect(app::TMainFrm* form) { m_form = form; }

  bool isVisible() const;

  // Until the window has been closed.
  void runEventLoop();

  void showWindow() override;
  void setLabelText(app::ViewLabel label, const std::string& text) override;
  void setBusyPointer(bool busy) override;
  void pumpEvents() override;
  void wait(int milliseconds) override;
  common::DialogResult showMessageDialog(app::MessageKind kind,
                                         const std::string& message) override;
  void showStandardMessageBox(const std::string& text) override;
  void post(std::function<void()> task) override;
  void closeWindow() override;

  static constexpr int controlCount() { return kControlCount; }

 private:
  // Indexes into the shared layout table.
  enum Control { Label1, Label2, Label3, Label4, Button1, Button2, Button3, kControlCount };

  static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void dispatch(MSG& message);
  void createControls();
  void layOut(int dpi);
  void activated(WPARAM wParam);
  void command(int id);
  void userClose();
  void runNextTask();
  bool isOurs(HWND window) const;

  HWND m_window = nullptr;
  std::array<HWND, kControlCount> m_controls{};
  HFONT m_font = nullptr;
  app::TMainFrm* m_form = nullptr;
  std::deque<std::function<void()>> m_tasks;
  HWND m_focus = nullptr;
  bool m_busy = false;
  bool m_activated = false;
};

}  // namespace netupdate::win32
