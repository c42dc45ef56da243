#include "app/main_frm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <exception>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "common/error.h"

namespace netupdate::app {

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

TMainFrm::TMainFrm(CommandLine commandLine, const StagesFactory& makeStages, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_commandLine(std::move(commandLine)),
      m_ui([this] { requestClose(); }),
      m_wait([](int milliseconds) { QThread::msleep(static_cast<unsigned long>(milliseconds)); }) {
  setObjectName(QStringLiteral("MainFrm"));
  createControls();
  // After the controls, so the stages' components are released before them.
  m_stages = makeStages();
}

// Members go before the QWidget base deletes the controls: the database
// objects, created last, are released first.
TMainFrm::~TMainFrm() = default;

void TMainFrm::createControls() {
  setWindowTitle(QString::fromUtf8(kWindowCaption));
  setFixedSize(kClientWidth, kClientHeight);

  QFont font(QStringLiteral("Tahoma"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  setFont(font);

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

  connect(Button1, &QPushButton::clicked, this, [this] { runHandler([this] { Button1Click(); }); });
  connect(Button2, &QPushButton::clicked, this, [this] { runHandler([this] { Button2Click(); }); });
  connect(Button3, &QPushButton::clicked, this, [this] { runHandler([this] { Button3Click(); }); });

  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }
}

void TMainFrm::FormCreate() {
  m_state.Uzemanyagok.clear();
  m_state.debug = developerMarkerPresent();
  if (m_state.debug) {
    m_state.adatbazis = developerDatabasePath();
    m_state.username = kDeveloperUser;
    m_state.password = kDeveloperPassword;
    m_state.server.clear();
    show();
  }
  m_state.indithiba = false;
  if (!m_state.debug) {
    const std::string message = startUpMessage(m_commandLine.count());
    if (!message.empty()) {
      m_ui.showError(message);
      m_state.indithiba = true;
    }
  }
  m_state.link = pageLink();
}

bool TMainFrm::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate && !m_activated) {
    m_activated = true;
    Button1->setFocus();
    // Queued, so the activation is complete before the long run starts.
    QMetaObject::invokeMethod(
        this, [this] { runHandler([this] { FormActivate(); }); }, Qt::QueuedConnection);
  }
  return QWidget::event(event);
}

// Windows hands the focus to a program's first window; on X11 that is up to
// the window manager, and without one nobody would. The run waits for it.
void TMainFrm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!m_shown) {
    m_shown = true;
    activateWindow();
  }
}

void TMainFrm::FormActivate() {
  if (m_state.indithiba) {
    requestClose();
    return;
  }
  setCursor(Qt::WaitCursor);
  if (!m_state.debug) {
    m_state.adatbazis = m_commandLine.argument(1);
    m_state.username = m_commandLine.argument(2);
    m_state.password = m_commandLine.argument(3);
    m_state.server = m_commandLine.argument(4);
  }
  m_state.adatbazis = joinServer(m_state.server, m_state.adatbazis);
  m_state.ProgramDir = currentDirectory();
  m_state.TempFile = pageFileName(m_state.ProgramDir, today());
  deleteFileIfPresent(m_state.TempFile);
  Label2->setText(QString::fromStdString(m_state.link));
  if (m_state.debug) return;

  m_running = true;
  setActivity("Adatok letöltése...");
  pumpEvents();
  if (m_stages->OldalLetolt(m_state, m_ui)) {
    setActivity("Adatok feldolgozása...");
    pumpEvents();
    m_wait(1000);
    m_stages->Feldolgoz(m_state);

    setActivity("Adatok beírása az adatbázisba...");
    pumpEvents();
    m_wait(1000);
    m_exitCode = m_stages->AdatBetolt(m_state, m_ui) ? 1 : 2;
  }
  deleteFileIfPresent(m_state.TempFile);
  unsetCursor();
  m_running = false;
  requestClose();
}

// Outside developer mode the buttons would run a stage in the middle of the
// automatic run (their clicks wait for its pump points), so they are ignored
// until it is over.
void TMainFrm::Button1Click() {
  if (!m_running) m_stages->OldalLetolt(m_state, m_ui);
}

void TMainFrm::Button2Click() {
  if (!m_running) m_stages->Feldolgoz(m_state);
}

void TMainFrm::Button3Click() {
  if (!m_running) m_stages->AdatBetolt(m_state, m_ui);
}

void TMainFrm::runHandler(const std::function<void()>& handler) {
  ++m_handlerDepth;
  try {
    handler();
  } catch (const std::exception& error) {
    m_running = false;
    m_unhandledErrorShown = true;
    showUnhandledError(this, common::innermostMessage(error));
  } catch (...) {
    m_running = false;
    m_unhandledErrorShown = true;
    showUnhandledError(this, "Unknown error");
  }
  --m_handlerDepth;
  if (m_handlerDepth == 0 && m_closeRequested) scheduleClose();
}

void TMainFrm::requestClose() {
  m_closeRequested = true;
  if (m_handlerDepth == 0) scheduleClose();
}

// The close waits for the event loop, and several requests close once.
void TMainFrm::scheduleClose() {
  if (m_closeScheduled) return;
  m_closeScheduled = true;
  QMetaObject::invokeMethod(
      this, [this] { close(); }, Qt::QueuedConnection);
}

void TMainFrm::pumpEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TMainFrm::setActivity(const char* text) {
  Label4->setText(QString::fromUtf8(text));
}

// There is no close box; a person must still be able to leave the windows
// that stay open by design or after an error.
bool TMainFrm::userMayClose() const {
  return m_state.debug || m_unhandledErrorShown;
}

void TMainFrm::keyPressEvent(QKeyEvent* event) {
  const bool escape = event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier;
  // Without a window manager nobody turns Alt+F4 into a close command for us.
  const bool altF4 = event->key() == Qt::Key_F4 && event->modifiers() == Qt::AltModifier;
  if ((escape || altF4) && userMayClose()) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TMainFrm::closeEvent(QCloseEvent* event) {
  if (!m_closeRequested && !userMayClose()) {
    event->ignore();
    return;
  }
  event->accept();
  emit closed();
}

}  // namespace netupdate::app
