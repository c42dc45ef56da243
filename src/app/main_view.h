#pragma once

#include <functional>
#include <string>

#include "common/user_interface.h"

namespace netupdate::app {

enum class MessageKind { Error, Confirmation };

// The two labels the run sequence writes.
enum class ViewLabel { Label2, Label4 };

// What the run sequence needs of a window toolkit; the Qt shell and the
// Win32 shell each implement it once and drive TMainFrm, which holds all of
// the run's logic. Texts are UTF-8.
class MainView {
 public:
  virtual ~MainView() = default;

  // Makes the window visible at once (developer mode, during FormCreate).
  virtual void showWindow() = 0;
  virtual void setLabelText(ViewLabel label, const std::string& text) = 0;
  // Busy (wait/hourglass) pointer over the window, or the normal one.
  virtual void setBusyPointer(bool busy) = 0;
  // Handles every pending UI event, then returns.
  virtual void pumpEvents() = 0;
  // Blocks the UI thread; the window neither repaints nor responds meanwhile.
  virtual void wait(int milliseconds) = 0;
  // The program's own modal dialog (caption "Error"/"Confirm", icon, buttons,
  // Enter/Esc, close box -> Cancel, wrap at half the screen's width), centred
  // on the screen, main window disabled while it is open.
  virtual common::DialogResult showMessageDialog(MessageKind kind, const std::string& message) = 0;
  // The platform's standard message box: caption kApplicationTitle, error
  // icon, one OK button. `text` is already final (dot rule applied).
  virtual void showStandardMessageBox(const std::string& text) = 0;
  // Runs `task` once control is back in the event loop (a queued call).
  virtual void post(std::function<void()> task) = 0;
  // Closes the window and ends the event loop. Only ever called from a task
  // the run sequence posted, i.e. from the event loop itself.
  virtual void closeWindow() = 0;
};

}  // namespace netupdate::app
