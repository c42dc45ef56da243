#include "app/main_frm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/shell_rules.h"
#include "app/testing/recording_view.h"
#include "app/testing/stage_double.h"
#include "app/testing/temp_working_dir.h"
#include "common/error.h"

namespace netupdate::app {
namespace {

namespace fs = std::filesystem;
using common::DialogResult;
using Log = std::vector<std::string>;

constexpr const char* kFourArguments = "netupdate.exe user.fdb SYSDBA masterkey dbhost";

const char* const kDownloading = "Adatok letöltése...";
const char* const kParsing = "Adatok feldolgozása...";
const char* const kWriting = "Adatok beírása az adatbázisba...";

std::string label4(const char* text) {
  return std::string("Label4 = ") + text;
}

std::string label2Link() {
  return "Label2 = " + pageLink();
}

// A TMainFrm over a recording view, in a working directory of its own; the
// stage doubles and the view share one log.
struct Window {
  explicit Window(const std::string& rawCommandLine)
      : frame(view, CommandLine::fromRawLine(rawCommandLine), stageDoubleFactory(log, &stages)) {
    view.attach(&frame);
  }

  // What a shell does: FormCreate, then the event loop shows the window,
  // which gets the focus, and runs what is posted.
  void start() {
    frame.FormCreate();
    view.activate();
    view.returnToEventLoop();
  }

  static std::string pageFile() { return pageFileName(currentDirectory(), today()); }
  static bool pageFileExists() { return fs::exists(pathFromUtf8(pageFile())); }
  static void writePageFile() { std::ofstream(pathFromUtf8(pageFile())) << "leftover"; }

  std::ptrdiff_t count(const std::string& entry) const {
    return std::count(log->begin(), log->end(), entry);
  }

  // The entries from `first` on, e.g. what a click added.
  Log logFrom(std::size_t first) const {
    return Log(log->begin() + static_cast<std::ptrdiff_t>(first), log->end());
  }

  TempWorkingDirectory dir;
  std::shared_ptr<Log> log = std::make_shared<Log>();
  RecordingView view{log};
  StageDouble* stages = nullptr;
  TMainFrm frame;
};

TEST(MainFrm, RunOutcomesAndExitCodes) {
  struct Case {
    const char* name;
    bool downloaded;
    bool connected;
    DialogResult answer;
    int exitCode;
    Log log;
  };
  const std::string noConnection = "Error: Nem sikerült kapcsolódni az adatbázishoz!";
  const Case cases[] = {
      {"reconciled",
       true,
       true,
       DialogResult::Yes,
       1,
       {"busy pointer", label2Link(), label4(kDownloading), "pump", "OldalLetolt", label4(kParsing),
        "pump", "wait 1000", "Feldolgoz", label4(kWriting), "pump", "wait 1000", "AdatBetolt",
        "Confirm: Felülírjam?", "normal pointer", "closeWindow"}},
      {"no connection",
       true,
       false,
       DialogResult::Ok,
       2,
       {"busy pointer", label2Link(), label4(kDownloading), "pump", "OldalLetolt", label4(kParsing),
        "pump", "wait 1000", "Feldolgoz", label4(kWriting), "pump", "wait 1000", "AdatBetolt",
        noConnection, "normal pointer", "closeWindow"}},
      {"download failed",
       false,
       true,
       DialogResult::Ok,
       0,
       {"busy pointer", label2Link(), label4(kDownloading), "pump", "OldalLetolt",
        "Error: Socket Error # 10061\r\nConnection refused.", "normal pointer", "closeWindow"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Window w(kFourArguments);
    Window::writePageFile();
    bool leftoverGone = false;
    bool busyDuringRun = false;
    bool closableDuringRun = true;
    w.stages->download = [&](RunState&, common::UserInterface& ui) {
      leftoverGone = !Window::pageFileExists();
      busyDuringRun = w.view.busy();
      closableDuringRun = w.frame.userMayClose() || w.frame.closeAccepted();
      if (!c.downloaded) ui.showError("Socket Error # 10061\r\nConnection refused.");
      return c.downloaded;
    };
    w.stages->reconcile = [&](RunState&, common::UserInterface& ui) {
      if (!c.connected) {
        // As the real stage does: the error, then the close request.
        ui.showError("Nem sikerült kapcsolódni az adatbázishoz!");
        ui.requestClose();
        return false;
      }
      return ui.confirm("Felülírjam?") == DialogResult::Yes;
    };
    w.view.answerNext(c.answer);
    w.start();

    EXPECT_EQ(*w.log, c.log);
    EXPECT_EQ(w.frame.exitCode(), c.exitCode);
    EXPECT_TRUE(leftoverGone);
    EXPECT_TRUE(busyDuringRun);
    EXPECT_FALSE(closableDuringRun);
    EXPECT_FALSE(Window::pageFileExists());
    EXPECT_TRUE(w.view.closed());

    const RunState& state = w.frame.state();
    EXPECT_EQ(state.adatbazis, "dbhost:user.fdb");
    EXPECT_EQ(state.username, "SYSDBA");
    EXPECT_EQ(state.password, "masterkey");
    EXPECT_EQ(state.server, "dbhost");
    EXPECT_EQ(state.ProgramDir, currentDirectory());
    EXPECT_EQ(state.TempFile, Window::pageFile());
    EXPECT_EQ(w.view.labelText(ViewLabel::Label2), pageLink());
  }
}

TEST(MainFrm, EmptyQuotedArgumentTakesNoPositionAndThreeMeanNoServer) {
  Window w(R"(netupdate.exe "C:\ZEPA 2018\user.fdb" SYSDBA "" pw)");
  w.start();
  EXPECT_EQ(w.frame.state().adatbazis, R"(C:\ZEPA 2018\user.fdb)");
  EXPECT_EQ(w.frame.state().password, "pw");
  EXPECT_EQ(w.frame.state().server, "");
  EXPECT_EQ(w.frame.exitCode(), 1);
}

void throwNested() {
  try {
    throw std::runtime_error("Read error: Input/output error");
  } catch (...) {
    std::throw_with_nested(common::Error("Cannot parse the page"));
  }
}

TEST(MainFrm, UnhandledErrorEndsTheHandlerWhereItStands) {
  struct Case {
    std::string stage;
    std::function<void()> raise;
    std::string box;
    const char* activity;
    std::ptrdiff_t stagesRun;
  };
  const Case cases[] = {
      {"OldalLetolt", [] { throw common::Error("Cannot create file x.html: Permission denied"); },
       "box: Cannot create file x.html: Permission denied.", kDownloading, 1},
      {"Feldolgoz", throwNested, "box: Read error: Input/output error.", kParsing, 2},
      {"AdatBetolt", [] { throw common::Error("lock conflict on no wait transaction."); },
       "box: lock conflict on no wait transaction.", kWriting, 3},
      {"AdatBetolt", [] { throw common::Error("Wow!"); }, "box: Wow!", kWriting, 3},
      {"Feldolgoz", [] { throw common::Error(""); }, "box: ", kParsing, 2},
      {"Feldolgoz", [] { throw 42; }, "box: Unknown error.", kParsing, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.box);
    Window w(kFourArguments);
    w.stages->download = [&](RunState&, common::UserInterface&) {
      if (c.stage == "OldalLetolt") c.raise();
      return true;
    };
    w.stages->parse = [&](RunState&) {
      if (c.stage == "Feldolgoz") c.raise();
    };
    w.stages->reconcile = [&](RunState&, common::UserInterface&) {
      if (c.stage == "AdatBetolt") c.raise();
      return true;
    };
    w.start();

    // No exit code, no deletion, no pointer change, no close.
    EXPECT_EQ(w.log->back(), c.box);
    EXPECT_EQ(w.count("OldalLetolt") + w.count("Feldolgoz") + w.count("AdatBetolt"), c.stagesRun);
    EXPECT_EQ(w.count("normal pointer"), 0);
    EXPECT_EQ(w.view.labelText(ViewLabel::Label4), c.activity);
    EXPECT_EQ(w.frame.exitCode(), 0);
    EXPECT_EQ(Window::pageFileExists(), c.stage != "OldalLetolt");
    EXPECT_TRUE(w.view.busy());
    EXPECT_FALSE(w.view.closed());
    EXPECT_EQ(w.view.pendingTasks(), 0u);

    // The buttons still work, the same error is reported again, and the
    // person may now leave.
    const std::size_t before = w.log->size();
    w.frame.Button2Click();
    w.frame.Button1Click();
    w.frame.Button3Click();
    Log again = {"Feldolgoz", "OldalLetolt", "AdatBetolt"};
    again.insert(std::find(again.begin(), again.end(), c.stage) + 1, c.box);
    EXPECT_EQ(w.logFrom(before), again);
    EXPECT_TRUE(w.frame.userMayClose());
    EXPECT_TRUE(w.frame.closeAccepted());
    EXPECT_EQ(w.frame.exitCode(), 0);
  }
}

TEST(MainFrm, OnlyTheFirstActivationRunsTheSequence) {
  Window w(kFourArguments);
  std::vector<DialogResult> answers;
  w.stages->reconcile = [&](RunState&, common::UserInterface& ui) {
    // Each answered dialog hands the focus back to the window.
    for (int i = 0; i < 3; ++i) answers.push_back(ui.confirm("Felülírjam?"));
    return true;
  };
  w.view.answerNext(DialogResult::Yes);
  w.view.answerNext(DialogResult::No);
  w.view.answerNext(DialogResult::Cancel);
  w.frame.FormCreate();
  w.view.activate();
  w.view.activate();
  w.view.returnToEventLoop();
  w.view.activate();
  w.view.returnToEventLoop();

  EXPECT_EQ(answers,
            (std::vector<DialogResult>{DialogResult::Yes, DialogResult::No, DialogResult::Cancel}));
  EXPECT_EQ(w.count("OldalLetolt"), 1);
  EXPECT_EQ(w.count("busy pointer"), 1);
  EXPECT_EQ(w.count("closeWindow"), 1);
  EXPECT_EQ(w.count("unexpected dialog"), 0);
  EXPECT_EQ(w.frame.exitCode(), 1);
}

TEST(MainFrm, CloseRequestsActOnceAndOnlyFromTheEventLoop) {
  Window w(kFourArguments);
  // Each stage asks; the run itself asks at its end.
  w.stages->download = [](RunState&, common::UserInterface& ui) {
    ui.requestClose();
    ui.requestClose();
    return true;
  };
  w.stages->parse = [&w](RunState&) { w.frame.requestClose(); };
  w.stages->reconcile = [](RunState&, common::UserInterface& ui) {
    ui.requestClose();
    return true;
  };
  w.frame.FormCreate();
  w.view.activate();
  EXPECT_EQ(w.view.pendingTasks(), 1u) << "the run waits for the event loop";
  EXPECT_EQ(w.count("busy pointer"), 0);
  w.view.returnToEventLoop();

  // The run went on to its end after the requests, then the window closed.
  ASSERT_GE(w.log->size(), 2u);
  EXPECT_EQ(w.log->back(), "closeWindow");
  EXPECT_EQ(w.log->at(w.log->size() - 2), "normal pointer");
  EXPECT_EQ(w.count("closeWindow"), 1);
  EXPECT_EQ(w.count("AdatBetolt"), 1);
  EXPECT_EQ(w.frame.exitCode(), 1);

  // A request after the close does nothing more.
  w.frame.requestClose();
  w.view.returnToEventLoop();
  EXPECT_EQ(w.count("closeWindow"), 1);
}

TEST(MainFrm, ClicksAndCloseAttemptsDuringTheAutomaticRunAreIgnored) {
  Window w(kFourArguments);
  bool closable = true;
  // Made while the download blocks the window, they reach it at the next
  // pump point.
  w.stages->download = [&](RunState&, common::UserInterface&) {
    w.view.queueInput([&w] { w.frame.Button1Click(); });
    w.view.queueInput([&w] { w.frame.Button2Click(); });
    w.view.queueInput([&w] { w.frame.Button3Click(); });
    w.view.queueInput([&] { closable = w.frame.userMayClose() || w.frame.closeAccepted(); });
    return true;
  };
  w.start();
  EXPECT_FALSE(closable);
  EXPECT_EQ(w.count("OldalLetolt"), 1);
  EXPECT_EQ(w.count("Feldolgoz"), 1);
  EXPECT_EQ(w.count("AdatBetolt"), 1);
  EXPECT_EQ(w.frame.exitCode(), 1);
  EXPECT_TRUE(w.view.closed());
}

TEST(MainFrm, DeveloperModeWaitsForTheButtons) {
  Window w(kFourArguments);
  std::ofstream("debugfq.txt");
  Window::writePageFile();
  w.frame.FormCreate();
  EXPECT_EQ(*w.log, Log{"showWindow"}) << "visible at once, before the event loop";
  EXPECT_TRUE(w.frame.userMayClose());
  w.view.activate();
  w.view.returnToEventLoop();

  EXPECT_EQ(*w.log, (Log{"showWindow", "busy pointer", label2Link()}));
  EXPECT_EQ(w.view.labelText(ViewLabel::Label4), "");
  EXPECT_TRUE(w.view.busy());
  EXPECT_FALSE(Window::pageFileExists());
  EXPECT_FALSE(w.view.closed());
  const RunState& state = w.frame.state();
  EXPECT_TRUE(state.debug);
  EXPECT_EQ(state.adatbazis, R"(g:\VARKONA.WIN\2018\user\user.fdb)");
  EXPECT_EQ(state.username, "SYSDBA");
  EXPECT_EQ(state.password, "k");
  EXPECT_EQ(state.server, "");
  EXPECT_EQ(state.TempFile, Window::pageFile());

  // Each button runs its stage and nothing else.
  std::size_t before = w.log->size();
  w.frame.Button1Click();
  w.frame.Button2Click();
  EXPECT_EQ(w.logFrom(before), (Log{"OldalLetolt", "Feldolgoz"}));
  EXPECT_TRUE(Window::pageFileExists());
  EXPECT_EQ(w.frame.exitCode(), 0);

  // A failed connection shows its error and asks for the close, which comes
  // once the click has been handled.
  w.stages->reconcile = [](RunState&, common::UserInterface& ui) {
    ui.showError("Nem sikerült kapcsolódni az adatbázishoz!");
    ui.requestClose();
    ui.requestClose();
    return false;
  };
  w.view.answerNext(DialogResult::Ok);
  before = w.log->size();
  w.frame.Button3Click();
  EXPECT_FALSE(w.view.closed());
  w.view.returnToEventLoop();
  EXPECT_EQ(w.logFrom(before),
            (Log{"AdatBetolt", "Error: Nem sikerült kapcsolódni az adatbázishoz!", "closeWindow"}));
  EXPECT_EQ(w.frame.exitCode(), 0);
  EXPECT_TRUE(Window::pageFileExists());
}

TEST(MainFrm, DeveloperModeIgnoresTheCommandLine) {
  for (const char* line : {"netupdate.exe", "netupdate.exe a", kFourArguments}) {
    SCOPED_TRACE(line);
    Window w(line);
    std::ofstream("debugfq.txt") << "never read";
    w.start();
    EXPECT_EQ(*w.log, (Log{"showWindow", "busy pointer", label2Link()}));
    EXPECT_EQ(w.frame.state().adatbazis, R"(g:\VARKONA.WIN\2018\user\user.fdb)");
    EXPECT_EQ(w.frame.state().username, "SYSDBA");
  }
}

TEST(MainFrm, StartUpFailureShowsItsMessageAndClosesAtOnce) {
  struct Case {
    const char* commandLine;
    bool markerDirectory;
    std::string message;
  };
  const std::string notFromZepa = "A program csak az ZEPA programból indítható!";
  const std::string wrong = "A program nem megfelő paraméterekkel lett indítva!";
  const Case cases[] = {
      {"netupdate.exe", false, notFromZepa},
      {R"(netupdate.exe "" "" "")", false, notFromZepa},
      {"netupdate.exe user.fdb", false, wrong},
      {"netupdate.exe user.fdb SYSDBA", false, wrong},
      {R"(netupdate.exe user.fdb "" SYSDBA)", false, wrong},
      {"netupdate.exe", true, notFromZepa},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.commandLine);
    Window w(c.commandLine);
    if (c.markerDirectory) fs::create_directory("debugfq.txt");
    Window::writePageFile();
    w.view.answerNext(DialogResult::Ok);
    w.frame.FormCreate();
    EXPECT_EQ(*w.log, Log{"Error: " + c.message}) << "before the window is shown";
    EXPECT_TRUE(w.frame.state().indithiba);
    EXPECT_EQ(w.frame.state().link, pageLink());
    EXPECT_FALSE(w.frame.closeAccepted());

    w.view.activate();
    w.view.returnToEventLoop();
    // Nothing downloaded, deleted, shown or written.
    EXPECT_EQ(*w.log, (Log{"Error: " + c.message, "closeWindow"}));
    EXPECT_EQ(w.frame.exitCode(), 0);
    EXPECT_TRUE(Window::pageFileExists());
    EXPECT_FALSE(w.view.busy());
    EXPECT_EQ(w.view.labelText(ViewLabel::Label2), "");
  }
}

}  // namespace
}  // namespace netupdate::app
