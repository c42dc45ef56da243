#include "app/application.h"

#include <QApplication>

#include "app/command_line.h"
#include "app/main_frm.h"
#include "app/shell_rules.h"
#include "app/stages.h"

namespace netupdate::app {

int runApplication(int argc, char** argv) {
  // Taken before QApplication, which removes the options it understands:
  // the host's arguments count as the host gave them.
  const CommandLine commandLine = CommandLine::fromArgv(argc, argv);

  QApplication application(argc, argv);
  // Not the display name: Qt would append that to every window caption.
  QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
  // Message dialogs come and go before the window is shown; only the
  // window's own close ends the run.
  QApplication::setQuitOnLastWindowClosed(false);

  TMainFrm MainFrm(commandLine, makeRealStages);
  QObject::connect(&MainFrm, &TMainFrm::closed, &application, &QCoreApplication::quit,
                   Qt::QueuedConnection);
  MainFrm.FormCreate();
  MainFrm.show();
  QApplication::exec();
  return MainFrm.exitCode();
}

}  // namespace netupdate::app
