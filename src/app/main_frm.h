#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "app/command_line.h"
#include "app/message_dialog.h"
#include "app/run_state.h"
#include "app/stages.h"

class QLabel;
class QPushButton;

namespace netupdate::app {

inline constexpr const char* kWindowCaption = "NAV üzemanyagár letöltő";

// The only window. It owns the run's state and the stages' components, runs
// the whole job on its first activation and holds the exit code.
class TMainFrm : public QWidget {
  Q_OBJECT

 public:
  TMainFrm(CommandLine commandLine, const StagesFactory& makeStages, QWidget* parent = nullptr);
  ~TMainFrm() override;

  // Developer mode, the command-line check and `link`; may show the error dialog.
  void FormCreate();

  const RunState& state() const { return m_state; }
  int exitCode() const { return m_exitCode; }

  // The two pauses of the run sequence; tests record them instead of sleeping.
  void setWaitFunction(std::function<void(int milliseconds)> wait) { m_wait = std::move(wait); }

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;

 signals:
  // The window has closed: the event loop may end.
  void closed();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void createControls();
  void FormActivate();
  void Button1Click();
  void Button2Click();
  void Button3Click();

  // Every handler runs through here, so no error reaches the event loop.
  void runHandler(const std::function<void()>& handler);
  void requestClose();
  void scheduleClose();
  void pumpEvents();
  void setActivity(const char* text);
  bool userMayClose() const;

  CommandLine m_commandLine;
  RunState m_state;
  DialogUserInterface m_ui;
  std::unique_ptr<Stages> m_stages;
  std::function<void(int)> m_wait;
  int m_exitCode = 0;
  int m_handlerDepth = 0;
  bool m_activated = false;
  bool m_shown = false;
  bool m_running = false;
  bool m_closeRequested = false;
  bool m_closeScheduled = false;
  bool m_unhandledErrorShown = false;
};

}  // namespace netupdate::app
