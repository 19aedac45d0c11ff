#include "startup/start_up.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "main/frm_main.h"
#include "startup/common.h"
#include "startup/frm_init.h"
#include "startup/settings.h"

namespace crewmap::startup {

void StartUp() {
  // The settings file is named after the executable, in its folder.
  const QString folder = QCoreApplication::applicationDirPath();
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  ProgramFolder = QDir::toNativeSeparators(folder).toStdString();
  IniPath = QDir::toNativeSeparators(folder + QLatin1Char('/') + name + QStringLiteral(".ini")).toStdString();

  // Missing files or keys never stop the start.
  (void)LoadLogSettings();

  frmInit dialog([] {
    auto* window = new main::frmMain();
    window->SetDeleteOnClose(true);
    window->show();
  });
  dialog.exec();
}

}  // namespace crewmap::startup
