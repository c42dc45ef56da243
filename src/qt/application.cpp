#include "qt/application.h"

#include <QApplication>

#include "app/command_line.h"
#include "app/shell_rules.h"
#include "app/stages.h"
#include "qt/main_window.h"

namespace netupdate::qt {

int runApplication(int argc, char** argv) {
  // Taken before QApplication, which removes the options it understands:
  // the host's arguments count as the host gave them.
  const app::CommandLine commandLine = app::CommandLine::fromArgv(argc, argv);

  QApplication application(argc, argv);
  // Not the display name: Qt would append that to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(app::kApplicationTitle));
  // Message dialogs come and go before the window is shown; only the
  // window's own close ends the run.
  QApplication::setQuitOnLastWindowClosed(false);

  QtMainWindow MainFrm(commandLine, app::makeRealStages);
  QObject::connect(&MainFrm, &QtMainWindow::closed, &application, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  MainFrm.frame().FormCreate();
  MainFrm.show();
  QApplication::exec();
  return MainFrm.frame().exitCode();
}

}  // namespace netupdate::qt
