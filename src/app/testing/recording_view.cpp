#include "app/testing/recording_view.h"

#include <utility>

#include "app/main_frm.h"

namespace netupdate::app {

void RecordingView::activate() {
  m_visible = true;
  if (m_frame != nullptr) m_frame->windowActivated();
}

void RecordingView::returnToEventLoop() {
  for (;;) {
    m_inTopLevelTask = true;
    const bool ran = runNext(true);
    m_inTopLevelTask = false;
    if (!ran) return;
  }
}

bool RecordingView::runNext(bool input) {
  auto* queue = input && !m_input.empty() ? &m_input : !m_tasks.empty() ? &m_tasks : nullptr;
  if (queue == nullptr) return false;
  std::function<void()> next = std::move(queue->front());
  queue->pop_front();
  next();
  return true;
}

void RecordingView::handlePending(bool input) {
  ++m_nested;
  while (runNext(input)) {
  }
  --m_nested;
}

const std::string& RecordingView::labelText(ViewLabel label) const {
  return label == ViewLabel::Label2 ? m_label2 : m_label4;
}

void RecordingView::showWindow() {
  m_log->push_back("showWindow");
  m_visible = true;
}

void RecordingView::setLabelText(ViewLabel label, const std::string& text) {
  const bool second = label == ViewLabel::Label2;
  m_log->push_back(std::string(second ? "Label2" : "Label4") + " = " + text);
  (second ? m_label2 : m_label4) = text;
}

void RecordingView::setBusyPointer(bool busy) {
  m_log->push_back(busy ? "busy pointer" : "normal pointer");
  m_busy = busy;
}

void RecordingView::pumpEvents() {
  m_log->push_back("pump");
  handlePending(true);
}

void RecordingView::wait(int milliseconds) {
  m_log->push_back("wait " + std::to_string(milliseconds));
}

common::DialogResult RecordingView::showMessageDialog(MessageKind kind,
                                                      const std::string& message) {
  m_log->push_back((kind == MessageKind::Error ? "Error: " : "Confirm: ") + message);
  handlePending(false);
  common::DialogResult answer = common::DialogResult::Cancel;
  if (m_answers.empty()) {
    m_log->push_back("unexpected dialog");
  } else {
    answer = m_answers.front();
    m_answers.pop_front();
  }
  // The focus goes back to the window, if it is shown.
  if (m_visible) activate();
  return answer;
}

void RecordingView::showStandardMessageBox(const std::string& text) {
  m_log->push_back("box: " + text);
  if (m_visible) activate();
}

void RecordingView::post(std::function<void()> task) {
  m_tasks.push_back(std::move(task));
}

void RecordingView::closeWindow() {
  if (!m_inTopLevelTask || m_nested > 0) {
    m_log->push_back("closeWindow outside the event loop");
  } else if (m_frame != nullptr && !m_frame->closeAccepted()) {
    m_log->push_back("close refused");
    return;
  } else {
    m_log->push_back("closeWindow");
  }
  m_visible = false;
  m_closed = true;
}

}  // namespace netupdate::app
