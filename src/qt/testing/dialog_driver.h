#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

class QWidget;

namespace netupdate::qt {

// What a test saw of a modal dialog before answering it.
struct SeenDialog {
  QString className;
  QString title;
  QString text;
  QStringList buttons;
  bool expected = true;
  bool active = false;
  // The scripted action did not close it; the driver then used the close box.
  bool ignoredAction = false;
};

// Answers modal dialogs the way a person at the keyboard would, in the order
// they open, each with the next scripted action. A dialog nobody scripted is
// closed through its close box and marked unexpected, so a test fails instead
// of hanging in the dialog's event loop.
class DialogDriver : public QObject {
  Q_OBJECT

 public:
  using Action = std::function<void(QWidget* dialog)>;

  DialogDriver();
  ~DialogDriver() override;

  void then(Action action) { m_actions.push_back(std::move(action)); }
  const std::vector<SeenDialog>& seen() const { return m_seen; }
  bool allAnswered() const { return m_actions.empty(); }

  // Actions.
  static Action pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
  static Action closeBox();
  // Runs `check` while the dialog is open, then presses Enter.
  static Action inspectThenEnter(std::function<void(QWidget*)> check);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void answer(QPointer<QWidget> dialog);

  std::deque<Action> m_actions;
  std::vector<SeenDialog> m_seen;
  std::vector<QPointer<QWidget>> m_pending;
};

}  // namespace netupdate::qt
