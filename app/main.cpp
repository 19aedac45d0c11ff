// The executable: Qt's own texts in Japanese, the start-up procedure, then
// the event loop for as long as a window is open.
#include <QApplication>
#include <QWidget>

#include "platform/process_locale.h"
#include "startup/qt_translation.h"
#include "startup/start_up.h"

int main(int argc, char** argv) {
  crewmap::platform::EnsureUtf8CharacterType();
  QApplication app(argc, argv);
  crewmap::startup::LoadQtTranslation(app);
  crewmap::startup::StartUp();
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible()) return QApplication::exec();
  return 0;
}
