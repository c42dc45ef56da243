#include "qt/testing/dialog_driver.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <algorithm>

namespace netupdate::qt {

DialogDriver::DialogDriver() {
  qApp->installEventFilter(this);
}

DialogDriver::~DialogDriver() {
  qApp->removeEventFilter(this);
}

bool DialogDriver::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    const bool pending = std::find(m_pending.begin(), m_pending.end(), widget) != m_pending.end();
    if (widget->isWindow() && widget->isModal() && !pending) {
      m_pending.emplace_back(widget);
      // Queued: by then the dialog runs its own event loop, as it does when
      // a person gets to answer it.
      QMetaObject::invokeMethod(
          this, [this, dialog = QPointer<QWidget>(widget)] { answer(dialog); },
          Qt::QueuedConnection);
    }
  }
  return QObject::eventFilter(watched, event);
}

void DialogDriver::answer(QPointer<QWidget> dialog) {
  std::erase(m_pending, dialog);
  if (dialog == nullptr || !dialog->isVisible()) return;
  // A person answers once the dialog has the keyboard; access keys need that too.
  const bool active = QTest::qWaitForWindowActive(dialog);
  if (dialog == nullptr || !dialog->isVisible()) return;
  SeenDialog seen;
  seen.active = active;
  seen.className = QString::fromUtf8(dialog->metaObject()->className());
  seen.title = dialog->windowTitle();
  if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
    seen.text = box->text();
  } else if (auto* label = dialog->findChild<QLabel*>(QStringLiteral("message"))) {
    seen.text = label->text();
  }
  for (auto* button : dialog->findChildren<QPushButton*>()) seen.buttons << button->text();
  seen.expected = !m_actions.empty();
  m_seen.push_back(seen);
  if (m_actions.empty()) {
    closeBox()(dialog);
    return;
  }
  Action action = std::move(m_actions.front());
  m_actions.pop_front();
  action(dialog);
  // Keys are delivered synchronously, so an answered dialog is hidden by now.
  if (dialog != nullptr && dialog->isVisible()) {
    m_seen.back().ignoredAction = true;
    closeBox()(dialog);
  }
}

DialogDriver::Action DialogDriver::pressKey(Qt::Key key, Qt::KeyboardModifiers modifiers) {
  // Through the native window, as the keyboard delivers it: Qt then routes
  // it to the focused button and resolves access keys.
  return [key, modifiers](QWidget* dialog) {
    if (QWindow* window = dialog->windowHandle()) {
      QTest::keyClick(window, key, modifiers);
    } else {
      QTest::keyClick(dialog, key, modifiers);
    }
  };
}

DialogDriver::Action DialogDriver::closeBox() {
  // The window manager's close command arrives as a close of the native window.
  return [](QWidget* dialog) {
    if (QWindow* window = dialog->windowHandle()) {
      window->close();
    } else {
      dialog->close();
    }
  };
}

DialogDriver::Action DialogDriver::inspectThenEnter(std::function<void(QWidget*)> check) {
  return [check = std::move(check)](QWidget* dialog) {
    check(dialog);
    pressKey(Qt::Key_Return)(dialog);
  };
}

}  // namespace netupdate::qt
