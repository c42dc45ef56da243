#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/main_view.h"
#include "app/run_state.h"
#include "app/stages.h"
#include "common/user_interface.h"

namespace netupdate::app {

// The main window's logic, whatever toolkit draws it: it owns the run's
// state and the stages' components, runs the whole job on the first
// activation, and holds the exit code. The shell owns the window, forwards
// its events here and does what `view` is asked. To the stages it is the
// person at the screen.
class TMainFrm : public common::UserInterface {
 public:
  // `view` must outlive this object.
  TMainFrm(MainView& view, CommandLine commandLine, const StagesFactory& makeStages);
  ~TMainFrm() override;

  TMainFrm(const TMainFrm&) = delete;
  TMainFrm& operator=(const TMainFrm&) = delete;

  // Once the window and its controls exist: developer mode, the
  // command-line check and `link`; may show the error dialog.
  void FormCreate();

  // On every activation of the window; only the first starts the run.
  void windowActivated();

  // The buttons. None lets an error escape.
  void Button1Click();
  void Button2Click();
  void Button3Click();

  // Esc and Alt+F4 may close a window that stays open by design (developer
  // mode) or was left open by an unhandled error.
  bool userMayClose() const;

  // Whether an attempt to close the window, ours or anybody's, goes through.
  bool closeAccepted() const;

  int exitCode() const { return m_exitCode; }
  const RunState& state() const { return m_state; }

  // What the stages see.
  void showError(const std::string& message) override;
  common::DialogResult confirm(const std::string& message) override;
  void requestClose() override;

 private:
  void FormActivate();

  // Every handler runs through here, so no error reaches the event loop.
  void runHandler(const std::function<void()>& handler);
  void reportUnhandledError(const std::string& message);
  void scheduleClose();

  MainView& m_view;
  CommandLine m_commandLine;
  RunState m_state;
  std::unique_ptr<Stages> m_stages;
  int m_exitCode = 0;
  int m_handlerDepth = 0;
  bool m_activated = false;
  bool m_running = false;
  bool m_closeRequested = false;
  bool m_closeScheduled = false;
  bool m_unhandledErrorShown = false;
};

}  // namespace netupdate::app
