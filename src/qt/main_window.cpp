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
#include "qt/message_dialog.h"
#include "qt/window_font.h"

namespace netupdate::qt {

namespace {

// Laid out in the 96-dpi pixels the window was designed in; Qt scales them
// (and the font's pixel size) with the screen's resolution.
constexpr int kClientWidth = 542;
constexpr int kClientHeight = 105;

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry, const char* text,
                  bool sizedToText) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(QString::fromUtf8(name));
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(geometry);
  if (sizedToText) label->adjustSize();
  return label;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QRect& geometry,
                        const char* text) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(QString::fromUtf8(name));
  button->setGeometry(geometry);
  return button;
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
  setFixedSize(kClientWidth, kClientHeight);

  setFont(windowFont());

  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  setAutoFillBackground(true);

  Label1 = makeLabel(this, "Label1", {8, 8, 274, 14},
                     "NAV üzemanyagárak frissítése a következő helyről:", true);
  Label2 = makeLabel(this, "Label2", {8, 28, 516, 14}, "", false);
  Label3 = makeLabel(this, "Label3", {8, 56, 95, 14}, "Aktuális folyamat:", true);
  Label4 = makeLabel(this, "Label4", {8, 76, 516, 14}, "", false);
  Button1 = makeButton(this, "Button1", {120, 48, 90, 25}, "Oldal letöltése");
  Button2 = makeButton(this, "Button2", {216, 48, 75, 25}, "Feldolgoz");
  Button3 = makeButton(this, "Button3", {297, 48, 144, 25}, "Adatok beírása user-be");
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
