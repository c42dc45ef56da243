#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "app/command_line.h"
#include "app/main_frm.h"
#include "app/main_view.h"
#include "app/stages.h"

class QLabel;
class QPushButton;

namespace netupdate::qt {

// The main window as Qt draws it. Everything the run does is TMainFrm's;
// this class only draws, forwards the window's events and carries out what
// the run sequence asks of the toolkit.
class QtMainWindow : public QWidget, public app::MainView {
  Q_OBJECT

 public:
  QtMainWindow(app::CommandLine commandLine, const app::StagesFactory& makeStages,
               QWidget* parent = nullptr);
  ~QtMainWindow() override;

  app::TMainFrm& frame() { return *m_frame; }
  const app::TMainFrm& frame() const { return *m_frame; }

  // The two pauses of the run sequence; tests record them instead of sleeping.
  void setWaitFunction(std::function<void(int milliseconds)> wait) { m_wait = std::move(wait); }

  QLabel* Label1 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;
  QPushButton* Button3 = nullptr;

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

  std::function<void(int)> m_wait;
  // Made after the controls, so the stages' components it owns are released
  // before them.
  std::unique_ptr<app::TMainFrm> m_frame;
  bool m_activated = false;
  bool m_shown = false;
};

}  // namespace netupdate::qt
