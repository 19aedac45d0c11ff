#pragma once
// Qt's own texts (the standard buttons of message boxes, the text boxes'
// context menu) in the program's language. Crewmap's captions and messages
// are Japanese on every system, so Qt's Japanese translation is loaded
// whatever the system's language: a message box never mixes a Japanese text
// with "Retry" and "Cancel".
#include <QString>

class QCoreApplication;

namespace crewmap::startup {

// The language of the program's own texts.
inline const QString kUiLanguage = QStringLiteral("ja");

// Installs Qt's translation for kUiLanguage ("qtbase_ja.qm") into `app`,
// looked for first in the "translations" folder beside the executable (the
// Windows package ships it there), then where this Qt keeps its translations
// (on Debian, /usr/share/qt6/translations from qt6-translations-l10n).
// Returns whether one was found; without it Qt's texts stay English.
bool LoadQtTranslation(QCoreApplication& app);

}  // namespace crewmap::startup
