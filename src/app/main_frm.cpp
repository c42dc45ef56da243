#include "app/main_frm.h"

#include <exception>
#include <utility>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "common/error.h"

namespace netupdate::app {

namespace {

// Set for as long as it lives, however the scope is left.
class ScopedFlag {
 public:
  explicit ScopedFlag(bool& flag) : m_flag(flag) { m_flag = true; }
  ~ScopedFlag() { m_flag = false; }
  ScopedFlag(const ScopedFlag&) = delete;
  ScopedFlag& operator=(const ScopedFlag&) = delete;

 private:
  bool& m_flag;
};

}  // namespace

TMainFrm::TMainFrm(MainView& view, CommandLine commandLine, const StagesFactory& makeStages)
    : m_view(view), m_commandLine(std::move(commandLine)), m_stages(makeStages()) {}

TMainFrm::~TMainFrm() = default;

void TMainFrm::FormCreate() {
  m_state.Uzemanyagok.clear();
  m_state.debug = developerMarkerPresent();
  if (m_state.debug) {
    m_state.adatbazis = developerDatabasePath();
    // Built, then moved in: assigning the literals themselves makes GCC 12
    // at -O3 warn falsely about overlapping copies (-Wrestrict).
    m_state.username = std::string(kDeveloperUser);
    m_state.password = std::string(kDeveloperPassword);
    m_state.server.clear();
    m_view.showWindow();
  }
  m_state.indithiba = false;
  if (!m_state.debug) {
    const std::string message = startUpMessage(m_commandLine.count());
    if (!message.empty()) {
      showError(message);
      m_state.indithiba = true;
    }
  }
  m_state.link = pageLink();
}

void TMainFrm::windowActivated() {
  if (m_activated) return;
  m_activated = true;
  // Queued, so the activation is complete before the long run starts.
  m_view.post([this] { runHandler([this] { FormActivate(); }); });
}

void TMainFrm::FormActivate() {
  if (m_state.indithiba) {
    requestClose();
    return;
  }
  m_view.setBusyPointer(true);
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
  m_view.setLabelText(ViewLabel::Label2, m_state.link);
  if (m_state.debug) return;

  // Cleared however the run ends, an unhandled error included, so the
  // buttons work in the window it leaves open.
  const ScopedFlag running(m_running);

  m_view.setLabelText(ViewLabel::Label4, "Adatok letöltése...");
  m_view.pumpEvents();
  if (m_stages->OldalLetolt(m_state, *this)) {
    m_view.setLabelText(ViewLabel::Label4, "Adatok feldolgozása...");
    m_view.pumpEvents();
    m_view.wait(1000);
    m_stages->Feldolgoz(m_state);

    m_view.setLabelText(ViewLabel::Label4, "Adatok beírása az adatbázisba...");
    m_view.pumpEvents();
    m_view.wait(1000);
    m_exitCode = m_stages->AdatBetolt(m_state, *this) ? 1 : 2;
  }
  deleteFileIfPresent(m_state.TempFile);
  m_view.setBusyPointer(false);
  requestClose();
}

// During the automatic run a click waits for one of its pump points and
// would run a stage in the middle of it, so clicks are ignored until the run
// is over.
void TMainFrm::Button1Click() {
  runHandler([this] {
    if (!m_running) m_stages->OldalLetolt(m_state, *this);
  });
}

void TMainFrm::Button2Click() {
  runHandler([this] {
    if (!m_running) m_stages->Feldolgoz(m_state);
  });
}

void TMainFrm::Button3Click() {
  runHandler([this] {
    if (!m_running) m_stages->AdatBetolt(m_state, *this);
  });
}

void TMainFrm::runHandler(const std::function<void()>& handler) {
  ++m_handlerDepth;
  try {
    handler();
  } catch (const std::exception& error) {
    reportUnhandledError(common::innermostMessage(error));
  } catch (...) {
    reportUnhandledError("Unknown error");
  }
  --m_handlerDepth;
  if (m_handlerDepth == 0 && m_closeRequested) scheduleClose();
}

// The handler has ended where it stood: no exit code, no deletion, no
// pointer change, no close. The window stays open for the person to read
// the message and use the buttons.
void TMainFrm::reportUnhandledError(const std::string& message) {
  m_unhandledErrorShown = true;
  m_view.showStandardMessageBox(unhandledErrorText(message));
}

bool TMainFrm::userMayClose() const {
  return m_state.debug || m_unhandledErrorShown;
}

bool TMainFrm::closeAccepted() const {
  return m_closeRequested || userMayClose();
}

void TMainFrm::showError(const std::string& message) {
  m_view.showMessageDialog(MessageKind::Error, message);
}

common::DialogResult TMainFrm::confirm(const std::string& message) {
  return m_view.showMessageDialog(MessageKind::Confirmation, message);
}

// Whoever asks goes on to its end first; the close waits for the event loop.
void TMainFrm::requestClose() {
  m_closeRequested = true;
  if (m_handlerDepth == 0) scheduleClose();
}

// Several requests close once.
void TMainFrm::scheduleClose() {
  if (m_closeScheduled) return;
  m_closeScheduled = true;
  m_view.post([this] { m_view.closeWindow(); });
}

}  // namespace netupdate::app
