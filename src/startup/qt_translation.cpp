#include "startup/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace crewmap::startup {

bool LoadQtTranslation(QCoreApplication& app) {
  const QString file = QStringLiteral("qtbase_") + kUiLanguage;
  auto* translator = new QTranslator(&app);
  for (const QString& folder : {QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                                QLibraryInfo::path(QLibraryInfo::TranslationsPath)}) {
    if (translator->load(file, folder)) return QCoreApplication::installTranslator(translator);
  }
  delete translator;
  return false;
}

}  // namespace crewmap::startup
