#pragma once

#include <string>

namespace netupdate::common {

// Which button closed a dialog. Cancel is the dialog's close box: neither OK, Yes nor No.
enum class DialogResult { Ok, Yes, No, Cancel };

// The little the stages need from whoever shows them to a person: the window
// answers with real dialogs, netupdate-cli with the terminal. Texts are UTF-8.
class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // Error dialog: waits until the user has closed it.
  virtual void showError(const std::string& message) = 0;

  // Yes/No question; callers act on Yes only.
  virtual DialogResult confirm(const std::string& message) = 0;

  // Asks the application to end once control is back in its event loop;
  // the caller goes on to its end first. Repeated requests act as one.
  virtual void requestClose() = 0;
};

}  // namespace netupdate::common
