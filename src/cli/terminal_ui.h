#pragma once

#include <cstdio>
#include <string>

#include "common/user_interface.h"

namespace netupdate::cli {

// The stages' user interface for a terminal run: errors go to the error
// stream, and every question is answered with the answer given on the command
// line, printed together with that answer so the run can be followed and
// checked afterwards. Nobody is waiting at a keyboard in the runs this serves.
class TerminalUi : public common::UserInterface {
 public:
  TerminalUi(std::FILE* out, std::FILE* err, common::DialogResult answer);

  void showError(const std::string& message) override;
  common::DialogResult confirm(const std::string& message) override;
  void requestClose() override;

  bool closeRequested() const { return m_closeRequested; }
  int errorsShown() const { return m_errorsShown; }

 private:
  std::FILE* m_out;
  std::FILE* m_err;
  common::DialogResult m_answer;
  bool m_closeRequested = false;
  int m_errorsShown = 0;
};

// One line per line of a dialog text: the dialogs break lines with CR alone,
// which a terminal would turn into overprinting. Other control characters
// are shown as "?", as printable() does.
std::string terminalLines(const std::string& prefix, const std::string& text);

// Text from servers and pages, made safe for a terminal: a control
// character (an escape sequence's start among them) becomes "?", so what a
// page says can't move the cursor or retitle the window.
std::string printable(std::string text);

}  // namespace netupdate::cli
