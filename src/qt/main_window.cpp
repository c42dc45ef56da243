#include "qt/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>

#include "app/shell_rules.h"
#include "app/window_layout.h"
#include "qt/message_dialog.h"
#include "qt/window_font.h"

namespace netupdate::qt {

namespace {

// The design's 96-dpi pixels; Qt scales them (and the font's pixel size)
// with the screen's resolution.
QWidget* makeControl(QWidget* parent, const app::ControlLayout& layout) {
  const QString text = QString::fromUtf8(layout.text);
  QWidget* control = nullptr;
  if (layout.kind == app::ControlKind::Label) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    control = label;
  } else {
    control = new QPushButton(text, parent);
  }
  control->setObjectName(QString::fromUtf8(layout.name));
  control->setGeometry(layout.left, layout.top, layout.width, layout.height);
  if (layout.sizedToText) control->adjustSize();
  return control;
}

}  // namespace

QtMainWindow::QtMainWindow(app::CommandLine commandLine, const app::StagesFactory& makeStages,
                           QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_wait([](int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }) {
  setObjectName(QStringLiteral("MainFrm"));
  createControls();
  m_frame = std::make_unique<app::TMainFrm>(*this, std::move(commandLine), makeStages);
}

// Members go before the QWidget base deletes the controls: the database
// objects, created last, are released first.
QtMainWindow::~QtMainWindow() = default;

void QtMainWindow::createControls() {
  setWindowTitle(QString::fromUtf8(app::kWindowCaption));
  setFixedSize(app::kClientWidth, app::kClientHeight);

  setFont(windowFont());

  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  QWidget* controls[app::kControlCount] = {};
  for (int i = 0; i < app::kControlCount; ++i) controls[i] = makeControl(this, app::kControls[i]);
  Label1 = static_cast<QLabel*>(controls[0]);
  Label2 = static_cast<QLabel*>(controls[1]);
  Label3 = static_cast<QLabel*>(controls[2]);
  Label4 = static_cast<QLabel*>(controls[3]);
  Button1 = static_cast<QPushButton*>(controls[4]);
  Button2 = static_cast<QPushButton*>(controls[5]);
  Button3 = static_cast<QPushButton*>(controls[6]);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, Button3);
  Button1->setFocus();

  connect(Button1, &QPushButton::clicked, this, [this] { m_frame->Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { m_frame->Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { m_frame->Button3Click(); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

bool QtMainWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    if (!m_activated) {
      m_activated = true;
      Button1->setFocus();
    }
    m_frame->windowActivated();
  }
  return QWidget::event(event);
}

// Windows hands the focus to a program's first window; on X11 that is up to
// the window manager, and without one nobody would. The run waits for it.
void QtMainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_shown) {
    m_shown = true;
    activateWindow();
  }
}

void QtMainWindow::keyPressEvent(QKeyEvent* event) {
  const bool escape = event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
  // Without a window manager nobody turns Alt+F4 into a close command for us.
  const bool altF4 = event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier;
  if ((escape || altF4) && m_frame->userMayClose()) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
  if (!m_frame->closeAccepted()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

void QtMainWindow::showWindow() {
  show();
}

void QtMainWindow::setLabelText(app::ViewLabel label, const std::string& text) {
  QLabel* target = label == app::ViewLabel::Label2 ? Label2 : Label4;
  target->setText(QString::fromStdString(text));
}

void QtMainWindow::setBusyPointer(bool busy) {
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void QtMainWindow::pumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtMainWindow::wait(int milliseconds) {
  m_wait(milliseconds);
}

common::DialogResult QtMainWindow::showMessageDialog(app::MessageKind kind,
                                                     const std::string& message) {
  return qt::showMessageDialog(kind, message);
}

void QtMainWindow::showStandardMessageBox(const std::string& text) {
  qt::showStandardMessageBox(this, text);
}

void QtMainWindow::post(std::function<void()> task) {
  // Tied to the window: a task still queued when it goes is dropped.
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

void QtMainWindow::closeWindow() {
  close();
}

}  // namespace netupdate::qt
