// The executable: the start-up procedure, then the event loop for as long as
// a window is open.
#include <QApplication>
#include <QWidget>

#include "startup/start_up.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  crewmap::startup::StartUp();
  for (QWidget* window : QApplication::topLevelWidgets())
    if (window->isVisible()) return QApplication::exec();
  return 0;
}
