// The executable: Qt's own texts in Japanese, our icon on every window, the
// start-up procedure, then the event loop for as long as a window is open.
#include <QApplication>
#include <QIcon>
#include <QWidget>

#include "platform/process_locale.h"
#include "startup/qt_translation.h"
#include "startup/start_up.h"

int main(int argc, char** argv) {
  crewmap::platform::EnsureUtf8CharacterType();
  QApplication app(argc, argv);
  // Every window without an icon of its own takes this one (title bar, task
  // bar, Alt+Tab); the pictures are built in from the program's drawing.
  QIcon icon;
  for (const int size : {16, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/crewmap/crewmap-%1.png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  crewmap::startup::LoadQtTranslation(app);
  crewmap::startup::StartUp();
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible()) return QApplication::exec();
  return 0;
}
