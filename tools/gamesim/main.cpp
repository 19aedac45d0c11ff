// gamesim: the substitute game window.
//
//   gamesim [--size WxH] [--pos X,Y] [--still]
//
// --size sets the client size (default 1024x768), --pos shows a fixed
// position with the ship at anchor, --still stops the wave animation. Lines on
// standard input drive it without keys: "X,Y" shows a position (at anchor),
// "size WxH" resizes; each is answered on standard output with
// "shown <read-out> <outer W>x<outer H>" once repainted, or "error ...".
#include <QApplication>
#include <QMetaObject>
#include <QPointer>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <thread>

#include "gamesim/sea_window.h"
#include "gamesim/voyage.h"
#include "platform/process_locale.h"

namespace {

void Say(const QString& line) {
  std::fputs(line.toUtf8().constData(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr, "gamesim: %s\nusage: gamesim [--size WxH] [--pos X,Y] [--still]\n", why);
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  crewmap::platform::EnsureUtf8CharacterType();  // its title is Japanese
  // The read-out must land on exact device pixels, whatever the screen's DPI.
  if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING")) qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
  if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR")) qputenv("QT_SCALE_FACTOR", "1");
  QApplication app(argc, argv);

  std::pair<int, int> size{1024, 768};
  std::string pos;
  bool animate = true;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QStringLiteral("--still")) {
      animate = false;
    } else if (a == QStringLiteral("--size") && i + 1 < args.size()) {
      const auto parsed = crewmap::gamesim::ParseSize(args[++i].toStdString());
      if (!parsed) Usage("bad --size (want WxH)");
      size = *parsed;
    } else if (a == QStringLiteral("--pos") && i + 1 < args.size()) {
      pos = args[++i].toStdString();
    } else {
      Usage("unknown option");
    }
  }

  crewmap::gamesim::SeaWindow window(animate);
  if (!pos.empty() && !window.voyage().ShowFixed(pos)) Usage("bad --pos (want X,Y, at most 12 characters)");
  window.resize(size.first, size.second);
  window.show();

  // Automation: one command per line, applied on the GUI thread. The reader
  // thread is left blocked in its read when the program ends.
  QPointer<crewmap::gamesim::SeaWindow> target(&window);
  std::thread([target] {
    std::string line;
    while (std::getline(std::cin, line)) {
      const QString command = QString::fromStdString(line);
      QMetaObject::invokeMethod(
          qApp,
          [target, command] {
            if (target) Say(target->Apply(command));
          },
          Qt::QueuedConnection);
    }
  }).detach();

  return app.exec();
}
