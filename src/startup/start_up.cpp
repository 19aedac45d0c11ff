#include "startup/start_up.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <filesystem>
#include <string>

#include "main/frm_main.h"
#include "platform/system_path.h"
#include "startup/common.h"
#include "startup/frm_init.h"
#include "startup/settings.h"
#include "ui/first_placement.h"
#include "ui/remembered_place.h"

namespace crewmap::startup {

void StartUp() {
  // The settings file is named after the executable, in its folder.
  const QString folder = QCoreApplication::applicationDirPath();
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  // Both go to the ANSI private-profile service on Windows, so they are held
  // in the system code page there (a folder with Japanese characters on a
  // Japanese system); UTF-8 elsewhere.
  ProgramFolder = platform::Utf8ToSystemPath(QDir::toNativeSeparators(folder).toStdString());
  IniPath = platform::Utf8ToSystemPath(
      QDir::toNativeSeparators(folder + QLatin1Char('/') + name + QStringLiteral(".ini")).toStdString());

  // Where the player left the overlay, kept in a small file of its own
  // beside the settings file, which the program only ever reads; in the
  // player's own settings folder where the program's folder is not theirs
  // to write (an installed package).
  QString stateFolder = folder;
  if (!QFileInfo(folder).isWritable()) {
    stateFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(stateFolder);
  }
  const QByteArray places = (stateFolder + QLatin1Char('/') + name + QStringLiteral("-state.txt")).toUtf8();
  ui::SetPlaceFile(std::filesystem::path(std::u8string(places.begin(), places.end())));

  // Missing files or keys never stop the start.
  (void)LoadLogSettings();

  // A second instance opens its windows beside the first one's, not on them.
  ui::StaggerByInstanceNumber();

  frmInit dialog([] {
    main::MainOptions options;
    options.reachReport = true;  // the router is asked and the log says how members reach the host
    auto* window = new main::frmMain(std::move(options));
    window->SetDeleteOnClose(true);
    window->show();
  });
  dialog.exec();
}

}  // namespace crewmap::startup
