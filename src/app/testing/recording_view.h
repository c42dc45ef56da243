#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_view.h"

namespace netupdate::app {

class TMainFrm;

// Stands in for a window toolkit in tests of TMainFrm. It logs what the run
// sequence asks of it, answers dialogs as scripted, and runs posted tasks
// only when the test hands control back to the event loop, or inside a pump
// point or an open dialog, as a toolkit's nested loops do.
class RecordingView : public MainView {
 public:
  using Log = std::vector<std::string>;

  // Shared with a StageDouble, the log shows the stages among the view calls.
  explicit RecordingView(std::shared_ptr<Log> log) : m_log(std::move(log)) {}

  // Asked whether a close goes through, and activated again when a dialog
  // closes, as a real window would be.
  void attach(TMainFrm* frame) { m_frame = frame; }

  // The event loop shows the window and it gets the focus.
  void activate();

  // Runs every posted task, and those they post, as the event loop does.
  void returnToEventLoop();

  // The next dialog's answer; a dialog with none left is closed through its
  // close box (Cancel) and logged as unexpected.
  void answerNext(common::DialogResult answer) { m_answers.push_back(answer); }

  // Input that waits in the queue (a click, a key) until the next pump
  // point or the event loop handles it.
  void queueInput(std::function<void()> input) { m_input.push_back(std::move(input)); }

  std::size_t pendingTasks() const { return m_tasks.size(); }
  const std::string& labelText(ViewLabel label) const;
  bool visible() const { return m_visible; }
  bool busy() const { return m_busy; }
  bool closed() const { return m_closed; }

  void showWindow() override;
  void setLabelText(ViewLabel label, const std::string& text) override;
  void setBusyPointer(bool busy) override;
  void pumpEvents() override;
  void wait(int milliseconds) override;
  common::DialogResult showMessageDialog(MessageKind kind, const std::string& message) override;
  void showStandardMessageBox(const std::string& text) override;
  void post(std::function<void()> task) override;
  void closeWindow() override;

 private:
  // Runs one waiting input (when `input`) or else one posted task; false
  // when there was nothing to run.
  bool runNext(bool input);
  // A nested loop: a pump point handles input and tasks, an open dialog
  // only tasks, since the window takes no input meanwhile.
  void handlePending(bool input);

  std::shared_ptr<Log> m_log;
  TMainFrm* m_frame = nullptr;
  std::deque<common::DialogResult> m_answers;
  std::deque<std::function<void()>> m_input;
  std::deque<std::function<void()>> m_tasks;
  std::string m_label2;
  std::string m_label4;
  bool m_visible = false;
  bool m_busy = false;
  bool m_closed = false;
  // Only a task the outermost event loop runs may close the window.
  bool m_inTopLevelTask = false;
  int m_nested = 0;
};

}  // namespace netupdate::app
