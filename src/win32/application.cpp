#include "win32/application.h"

#include <windows.h>

#include <commctrl.h>

#include <exception>

#include "app/command_line.h"
#include "app/main_frm.h"
#include "app/shell_rules.h"
#include "app/stages.h"
#include "common/error.h"
#include "common/wide_text.h"
#include "win32/main_window.h"
#include "win32/standard_box.h"

namespace netupdate::win32 {

namespace {

int run() {
  // The controls of version 6, which the manifest asks for.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  // Windows hands over one raw line; it is split the way the host expects.
  const app::CommandLine commandLine =
      app::CommandLine::fromRawLine(common::narrow(::GetCommandLineW()));

  MainWindow window;
  int exitCode = 0;
  {
    app::TMainFrm MainFrm(window, commandLine, app::makeRealStages);
    window.connect(&MainFrm);
    MainFrm.FormCreate();
    if (!window.isVisible()) window.showWindow();
    window.runEventLoop();
    exitCode = MainFrm.exitCode();
    // The stages' components go first, the window after them.
    window.connect(nullptr);
  }
  return exitCode;
}

}  // namespace

int runApplication() {
  // Only a window that cannot be made at all gets here; everything the run
  // raises is reported inside it.
  try {
    return run();
  } catch (const std::exception& error) {
    showStandardMessageBox(nullptr, app::unhandledErrorText(common::innermostMessage(error)));
  }
  return 0;
}

}  // namespace netupdate::win32
