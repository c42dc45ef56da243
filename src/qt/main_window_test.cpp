#include "qt/main_window.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "app/testing/stage_double.h"
#include "common/error.h"
#include "qt/testing/dialog_driver.h"

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace netupdate::qt {

namespace fs = std::filesystem;
using app::CommandLine;
using app::kPageLink;
using app::kPageLinkVariable;
using app::pageFileName;
using app::RunState;
using app::StageDouble;
using app::today;
using Log = StageDouble::Log;

namespace {

constexpr const char* kFourArguments = "netupdate.exe user.fdb SYSDBA masterkey dbhost";

std::string todaysPageFile() {
  return pageFileName(fs::current_path().string(), today());
}

void writeFile(const std::string& path) {
  std::ofstream(path) << "leftover";
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void controls_data();
  void controls();
  void windowFrame();
  void runOutcome_data();
  void runOutcome();
  void downloadErrorDialogThenExitZero();
  void unhandledError_data();
  void unhandledError();
  void runNotRepeatedWhenFocusReturns();
  void normalRunCannotBeInterrupted();
  void developerMode();
  void developerModeClose_data();
  void developerModeClose();
  void startUpFailure_data();
  void startUpFailure();

 private:
  void create(const char* rawCommandLine);
  // What start-up does after creating the window.
  void start();

  std::unique_ptr<QTemporaryDir> m_dir;
  fs::path m_previousDir;
  std::shared_ptr<Log> m_log;
  StageDouble* m_stages = nullptr;
  std::unique_ptr<QtMainWindow> m_window;
  bool m_closed = false;
};

void MainWindowTest::init() {
  m_previousDir = fs::current_path();
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
  fs::current_path(m_dir->path().toStdString());
  unsetenv(kPageLinkVariable);
  m_log = std::make_shared<Log>();
  m_closed = false;
}

void MainWindowTest::cleanup() {
  m_window.reset();
  m_stages = nullptr;
  fs::current_path(m_previousDir);
  m_dir.reset();
}

void MainWindowTest::create(const char* rawCommandLine) {
  m_window = std::make_unique<QtMainWindow>(CommandLine::fromRawLine(rawCommandLine),
                                            app::stageDoubleFactory(m_log, &m_stages));
  QVERIFY(m_stages != nullptr);
  connect(m_window.get(), &QtMainWindow::closed, this, [this] { m_closed = true; });
  auto activity = [this] { return m_window->Label4->text().toStdString(); };
  m_stages->context = activity;
  m_window->setWaitFunction([this, activity](int milliseconds) {
    m_log->push_back("wait " + std::to_string(milliseconds) + " | " + activity());
  });
}

void MainWindowTest::start() {
  m_window->frame().FormCreate();
  m_window->show();
}

void MainWindowTest::controls_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QRect>("geometry");  // width 0: sized to its text
  QTest::addColumn<QString>("text");
  QTest::newRow("Label1") << "Label1" << QRect(8, 8, 0, 0)
                          << "NAV üzemanyagárak frissítése a következő helyről:";
  QTest::newRow("Label2") << "Label2" << QRect(8, 28, 516, 14) << "";
  QTest::newRow("Label3") << "Label3" << QRect(8, 56, 0, 0) << "Aktuális folyamat:";
  QTest::newRow("Label4") << "Label4" << QRect(8, 76, 516, 14) << "";
  QTest::newRow("Button1") << "Button1" << QRect(120, 48, 90, 25) << "Oldal letöltése";
  QTest::newRow("Button2") << "Button2" << QRect(216, 48, 75, 25) << "Feldolgoz";
  QTest::newRow("Button3") << "Button3" << QRect(297, 48, 144, 25) << "Adatok beírása user-be";
}

void MainWindowTest::controls() {
  QFETCH(QString, name);
  QFETCH(QRect, geometry);
  QFETCH(QString, text);
  create(kFourArguments);
  auto* control = m_window->findChild<QWidget*>(name);
  QVERIFY(control != nullptr);
  QVERIFY(control->isVisibleTo(m_window.get()));
  QVERIFY(control->isEnabled());
  if (geometry.width() == 0) {
    QCOMPARE(control->pos(), geometry.topLeft());
    QCOMPARE(control->size(), control->sizeHint());
  } else {
    QCOMPARE(control->geometry(), geometry);
  }
  if (auto* label = qobject_cast<QLabel*>(control)) {
    QCOMPARE(label->text(), text);
    QVERIFY(!label->wordWrap());
  } else {
    QCOMPARE(qobject_cast<QPushButton*>(control)->text(), text);
  }
}

void MainWindowTest::windowFrame() {
  writeFile("debugfq.txt");  // keeps the window open without running anything
  create(kFourArguments);
  QCOMPARE(m_window->windowTitle(), QStringLiteral("NAV üzemanyagár letöltő"));
  QCOMPARE(m_window->minimumSize(), QSize(542, 105));
  QCOMPARE(m_window->maximumSize(), QSize(542, 105));
  const Qt::WindowFlags flags = m_window->windowFlags();
  QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
  QVERIFY(!(flags & Qt::WindowCloseButtonHint));
  QVERIFY(!(flags & Qt::WindowSystemMenuHint));
  QVERIFY(!(flags & Qt::WindowMinMaxButtonsHint));
  QCOMPARE(m_window->font().pixelSize(), 12);
  // Tahoma is there: installed, or Wine's metric-compatible one loaded for the window.
  QCOMPARE(QFontInfo(m_window->font()).family(), QStringLiteral("Tahoma"));
  // In Tahoma's widths the headings keep clear of the buttons and the button texts fit.
  QVERIFY(m_window->Label3->geometry().right() < m_window->Button1->geometry().left());
  for (const QPushButton* button : {m_window->Button1, m_window->Button2, m_window->Button3}) {
    QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width() - 8,
             qPrintable(button->text()));
  }

  start();
  QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
  QCOMPARE(QApplication::focusWidget(), m_window->Button1);
  for (QPushButton* next : {m_window->Button2, m_window->Button3, m_window->Button1}) {
    QTest::keyClick(m_window->windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), next);
  }
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  QVERIFY(qAbs(m_window->geometry().center().x() - area.center().x()) <= 1);
  QVERIFY(qAbs(m_window->geometry().center().y() - area.center().y()) <= 1);
  QCOMPARE(m_window->size(), QSize(542, 105));
}

void MainWindowTest::runOutcome_data() {
  QTest::addColumn<bool>("downloaded");
  QTest::addColumn<bool>("reconciled");
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<std::vector<std::string>>("log");
  QTest::newRow("reconciled") << true << true << 1
                              << std::vector<std::string>{
                                     "OldalLetolt | Adatok letöltése...",
                                     "wait 1000 | Adatok feldolgozása...",
                                     "Feldolgoz | Adatok feldolgozása...",
                                     "wait 1000 | Adatok beírása az adatbázisba...",
                                     "AdatBetolt | Adatok beírása az adatbázisba...",
                                 };
  QTest::newRow("no connection") << true << false << 2
                                 << std::vector<std::string>{
                                        "OldalLetolt | Adatok letöltése...",
                                        "wait 1000 | Adatok feldolgozása...",
                                        "Feldolgoz | Adatok feldolgozása...",
                                        "wait 1000 | Adatok beírása az adatbázisba...",
                                        "AdatBetolt | Adatok beírása az adatbázisba...",
                                    };
  QTest::newRow("download failed")
      << false << true << 0 << std::vector<std::string>{"OldalLetolt | Adatok letöltése..."};
}

void MainWindowTest::runOutcome() {
  QFETCH(bool, downloaded);
  QFETCH(bool, reconciled);
  QFETCH(int, exitCode);
  QFETCH(std::vector<std::string>, log);
  writeFile(todaysPageFile());
  create(kFourArguments);
  bool leftoverGone = false;
  bool busyDuringRun = false;
  m_stages->download = [&](RunState& state, common::UserInterface&) {
    leftoverGone = !fs::exists(state.TempFile);
    busyDuringRun = m_window->cursor().shape() == Qt::WaitCursor;
    return downloaded;
  };
  m_stages->reconcile = [&](RunState&, common::UserInterface&) { return reconciled; };

  start();
  QTRY_VERIFY(m_closed);
  QCOMPARE(*m_log, log);
  QCOMPARE(m_window->frame().exitCode(), exitCode);
  QVERIFY(leftoverGone);
  QVERIFY(busyDuringRun);
  QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
  QVERIFY(!fs::exists(todaysPageFile()));
  QVERIFY(!m_window->isVisible());

  const RunState& state = m_window->frame().state();
  QCOMPARE(state.adatbazis, std::string("dbhost:user.fdb"));
  QCOMPARE(state.username, std::string("SYSDBA"));
  QCOMPARE(state.password, std::string("masterkey"));
  QCOMPARE(state.server, std::string("dbhost"));
  QCOMPARE(state.ProgramDir, fs::current_path().string());
  QCOMPARE(state.TempFile, todaysPageFile());
  QCOMPARE(m_window->Label2->text().toStdString(), std::string(kPageLink));
}

void MainWindowTest::downloadErrorDialogThenExitZero() {
  setenv(kPageLinkVariable, "http://127.0.0.1:9/p.html", 1);
  create(R"(netupdate.exe "C:\ZEPA 2018\user.fdb" SYSDBA "" pw)");
  m_stages->download = [](RunState&, common::UserInterface& ui) {
    ui.showError("Socket Error # 10061\r\nConnection refused.");
    return false;
  };
  DialogDriver driver;
  driver.then(DialogDriver::pressKey(Qt::Key_Return));
  start();
  QTRY_VERIFY(m_closed);
  QCOMPARE(driver.seen().size(), 1u);
  QCOMPARE(driver.seen()[0].title, QStringLiteral("Error"));
  QCOMPARE(driver.seen()[0].text, QStringLiteral("Socket Error # 10061\nConnection refused."));
  QCOMPARE(m_window->frame().exitCode(), 0);
  QCOMPARE(m_log->size(), 1u);
  QVERIFY(!fs::exists(todaysPageFile()));
  // The empty third argument took no position; three arguments, so no server.
  QCOMPARE(m_window->frame().state().adatbazis, std::string(R"(C:\ZEPA 2018\user.fdb)"));
  QCOMPARE(m_window->frame().state().password, std::string("pw"));
  QCOMPARE(m_window->frame().state().server, std::string());
  QCOMPARE(m_window->Label2->text(), QStringLiteral("http://127.0.0.1:9/p.html"));
}

void MainWindowTest::unhandledError_data() {
  QTest::addColumn<QString>("failingStage");
  QTest::addColumn<QString>("thrown");  // empty: a nested error
  QTest::addColumn<QString>("shown");
  QTest::addColumn<QString>("activity");
  QTest::addColumn<int>("stagesRun");
  QTest::newRow("download") << "OldalLetolt"
                            << "Cannot create file x.html: Permission denied"
                            << "Cannot create file x.html: Permission denied."
                            << "Adatok letöltése..." << 1;
  QTest::newRow("parse, innermost message") << "Feldolgoz"
                                            << ""
                                            << "Read error: Input/output error."
                                            << "Adatok feldolgozása..." << 2;
  QTest::newRow("reconcile, text already ending in a dot")
      << "AdatBetolt"
      << "lock conflict on no wait transaction."
      << "lock conflict on no wait transaction."
      << "Adatok beírása az adatbázisba..." << 3;
}

void MainWindowTest::unhandledError() {
  QFETCH(QString, failingStage);
  QFETCH(QString, thrown);
  QFETCH(QString, shown);
  QFETCH(QString, activity);
  QFETCH(int, stagesRun);
  create(kFourArguments);
  auto raise = [&] {
    if (!thrown.isEmpty()) throw common::Error(thrown.toStdString());
    try {
      throw std::runtime_error("Read error: Input/output error");
    } catch (...) {
      std::throw_with_nested(common::Error("Cannot parse the page"));
    }
  };
  if (failingStage == "OldalLetolt")
    m_stages->download = [&](auto&, auto&) -> bool {
      raise();
      return false;
    };
  if (failingStage == "Feldolgoz") m_stages->parse = [&](auto&) { raise(); };
  if (failingStage == "AdatBetolt")
    m_stages->reconcile = [&](auto&, auto&) -> bool {
      raise();
      return false;
    };

  DialogDriver driver;
  driver.then(DialogDriver::inspectThenEnter([](QWidget* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    QVERIFY(box != nullptr);
    QCOMPARE(box->icon(), QMessageBox::Critical);
  }));
  start();
  QTRY_COMPARE(driver.seen().size(), 1u);
  QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
  QCOMPARE(driver.seen()[0].title, QString::fromUtf8(app::kApplicationTitle));
  QCOMPARE(driver.seen()[0].text, shown);
  QCOMPARE(driver.seen()[0].buttons, QStringList{"OK"});

  // The handler ended where it stood: no exit code, no deletion, no close.
  QCOMPARE(static_cast<int>(std::count_if(m_log->begin(), m_log->end(),
                                          [](const std::string& e) { return e[0] != 'w'; })),
           stagesRun);
  QCOMPARE(m_window->Label4->text(), activity);
  QCOMPARE(m_window->frame().exitCode(), 0);
  QCOMPARE(fs::exists(todaysPageFile()), failingStage != "OldalLetolt");
  QCOMPARE(m_window->cursor().shape(), Qt::WaitCursor);
  QVERIFY(m_window->isVisible());
  QVERIFY(!m_closed);

  // The buttons still work, and the person can leave.
  m_log->clear();
  m_stages->parse = nullptr;
  QTest::mouseClick(m_window->Button2, Qt::LeftButton);
  QCOMPARE(m_log->size(), 1u);
  QCOMPARE(m_log->front().substr(0, 9), std::string("Feldolgoz"));
  QTest::keyClick(m_window->Button1, Qt::Key_Escape);
  QTRY_VERIFY(m_closed);
  QCOMPARE(m_window->frame().exitCode(), 0);
}

void MainWindowTest::runNotRepeatedWhenFocusReturns() {
  create(kFourArguments);
  std::vector<common::DialogResult> answers;
  m_stages->reconcile = [&](RunState&, common::UserInterface& ui) {
    for (int i = 0; i < 3; ++i) answers.push_back(ui.confirm("Felülírjam?"));
    return true;
  };
  DialogDriver driver;
  driver.then(DialogDriver::pressKey(Qt::Key_Return));
  driver.then(DialogDriver::pressKey(Qt::Key_Escape));
  driver.then(DialogDriver::closeBox());
  start();
  QTRY_VERIFY(m_closed);
  const std::vector<common::DialogResult> expected = {
      common::DialogResult::Yes, common::DialogResult::No, common::DialogResult::Cancel};
  QVERIFY(answers == expected);
  QCOMPARE(std::count_if(m_log->begin(), m_log->end(),
                         [](const std::string& e) { return e.starts_with("OldalLetolt"); }),
           1);
  QCOMPARE(m_window->frame().exitCode(), 1);

  // Focus coming back later does not start it again either.
  QWidget other;
  other.show();
  other.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&other));
  m_window->show();
  m_window->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
  QTest::qWait(0);
  QCOMPARE(std::count_if(m_log->begin(), m_log->end(),
                         [](const std::string& e) { return e.starts_with("OldalLetolt"); }),
           1);
}

void MainWindowTest::normalRunCannotBeInterrupted() {
  create(kFourArguments);
  bool stayedOpen = false;
  m_stages->download = [this, &stayedOpen](RunState&, common::UserInterface&) {
    // A person's Esc, Alt+F4, window-manager close and a stray click, all
    // while the download blocks the window.
    QTest::keyClick(m_window->Button1, Qt::Key_Escape);
    QTest::keyClick(m_window->Button1, Qt::Key_F4, Qt::AltModifier);
    m_window->windowHandle()->close();
    QTest::mouseClick(m_window->Button3, Qt::LeftButton);
    stayedOpen = m_window->isVisible() && !m_closed;
    return true;
  };
  start();
  QTRY_VERIFY(m_closed);
  QVERIFY(stayedOpen);
  QCOMPARE(m_log->size(), 5u);
  QCOMPARE(m_window->frame().exitCode(), 1);
}

void MainWindowTest::developerMode() {
  writeFile("debugfq.txt");
  writeFile(todaysPageFile());
  create(kFourArguments);
  m_window->frame().FormCreate();
  QVERIFY(m_window->isVisible());  // at once, before the event loop
  m_window->show();
  QTRY_COMPARE(m_window->Label2->text().toStdString(), std::string(kPageLink));
  QTest::qWait(0);
  QVERIFY(m_log->empty());
  QCOMPARE(m_window->Label4->text(), QString());
  QCOMPARE(m_window->cursor().shape(), Qt::WaitCursor);
  QVERIFY(!fs::exists(todaysPageFile()));
  const RunState& state = m_window->frame().state();
  QVERIFY(state.debug);
  QCOMPARE(state.adatbazis, std::string(R"(g:\VARKONA.WIN\2018\user\user.fdb)"));
  QCOMPARE(state.username, std::string("SYSDBA"));
  QCOMPARE(state.password, std::string("k"));
  QCOMPARE(state.server, std::string());
  QCOMPARE(state.TempFile, todaysPageFile());

  // Each button runs its stage and nothing else.
  QTest::mouseClick(m_window->Button1, Qt::LeftButton);
  QTest::mouseClick(m_window->Button2, Qt::LeftButton);
  QCOMPARE(*m_log, (std::vector<std::string>{"OldalLetolt | ", "Feldolgoz | "}));
  QVERIFY(fs::exists(todaysPageFile()));
  QCOMPARE(m_window->frame().exitCode(), 0);

  // A failed connection shows its error and asks for the close.
  m_stages->reconcile = [](RunState&, common::UserInterface& ui) {
    ui.showError("Nem sikerült kapcsolódni az adatbázishoz!");
    ui.requestClose();
    ui.requestClose();
    return false;
  };
  DialogDriver driver;
  driver.then(DialogDriver::pressKey(Qt::Key_Escape));
  QTest::mouseClick(m_window->Button3, Qt::LeftButton);
  QTRY_VERIFY(m_closed);
  QCOMPARE(m_window->frame().exitCode(), 0);
  QVERIFY(fs::exists(todaysPageFile()));
  QCOMPARE(m_window->Label4->text(), QString());
}

void MainWindowTest::developerModeClose_data() {
  QTest::addColumn<int>("how");
  QTest::newRow("Esc") << 0;
  QTest::newRow("Alt+F4 reaching the window") << 1;
  QTest::newRow("window manager's close") << 2;
}

void MainWindowTest::developerModeClose() {
  QFETCH(int, how);
  writeFile("debugfq.txt");
  create("netupdate.exe");
  start();
  QTRY_VERIFY(!m_window->Label2->text().isEmpty());
  if (how == 0) QTest::keyClick(m_window->Button1, Qt::Key_Escape);
  if (how == 1) QTest::keyClick(m_window->Button1, Qt::Key_F4, Qt::AltModifier);
  if (how == 2) m_window->windowHandle()->close();
  QTRY_VERIFY(m_closed);
  QVERIFY(!m_window->isVisible());
  QCOMPARE(m_window->frame().exitCode(), 0);
  QVERIFY(m_log->empty());
}

void MainWindowTest::startUpFailure_data() {
  QTest::addColumn<QString>("commandLine");
  QTest::addColumn<bool>("markerDirectory");
  QTest::addColumn<QString>("message");
  const QString notFromZepa = QStringLiteral("A program csak az ZEPA programból indítható!");
  const QString wrong = QStringLiteral("A program nem megfelő paraméterekkel lett indítva!");
  QTest::newRow("no arguments") << "netupdate.exe" << false << notFromZepa;
  QTest::newRow("only empty arguments") << R"(netupdate.exe "" "" "")" << false << notFromZepa;
  QTest::newRow("one argument") << "netupdate.exe user.fdb" << false << wrong;
  QTest::newRow("two arguments") << "netupdate.exe user.fdb SYSDBA" << false << wrong;
  QTest::newRow("marker is a directory") << "netupdate.exe" << true << notFromZepa;
}

void MainWindowTest::startUpFailure() {
  QFETCH(QString, commandLine);
  QFETCH(bool, markerDirectory);
  QFETCH(QString, message);
  if (markerDirectory) fs::create_directory("debugfq.txt");
  writeFile(todaysPageFile());
  create(commandLine.toStdString().c_str());
  bool windowShownDuringDialog = true;
  DialogDriver driver;
  driver.then(DialogDriver::inspectThenEnter(
      [&](QWidget*) { windowShownDuringDialog = m_window->isVisible(); }));
  m_window->frame().FormCreate();
  QCOMPARE(driver.seen().size(), 1u);
  QCOMPARE(driver.seen()[0].title, QStringLiteral("Error"));
  QCOMPARE(driver.seen()[0].text, message);
  QVERIFY(!windowShownDuringDialog);
  QVERIFY(m_window->frame().state().indithiba);
  QCOMPARE(m_window->frame().state().link, std::string(kPageLink));

  m_window->show();
  QTRY_VERIFY(m_closed);
  QCOMPARE(m_window->frame().exitCode(), 0);
  QVERIFY(m_log->empty());
  QVERIFY(fs::exists(todaysPageFile()));
  QCOMPARE(m_window->Label2->text(), QString());
  QCOMPARE(m_window->cursor().shape(), Qt::ArrowCursor);
}

}  // namespace netupdate::qt

QTEST_MAIN(netupdate::qt::MainWindowTest)
#include "main_window_test.moc"
