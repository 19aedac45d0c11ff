// gamesim: the substitute game window.
//
//   gamesim [--size WxH] [--pos X,Y] [--still] [--readout-at X,Y] [--no-readout]
//           [--decoys] [--price-list] [--busy] [--cover X,Y,W,H]
//
// --size sets the client size (default 1024x768), --pos shows a fixed
// position with the ship at anchor, --still stops the wave animation,
// --readout-at draws the read-out's first cell at that client position
// instead of the game's (78 left of and 272 above the bottom-right corner),
// --no-readout hides it, --decoys adds digits in its font elsewhere (a price,
// a clock, a ship's number), --price-list twenty still prices nearer the
// corner, --busy paints noise in its white and black, --cover draws a plain
// box over everything at that client place and size (a tooltip, a chat
// window over the read-out).
// Lines on standard input drive it without keys: "X,Y" shows a position (at
// anchor, and the read-out if it was off), "size WxH" resizes, "readout-at
// X,Y" moves the read-out, "readout off" takes it away as a loading screen
// does, "cover X,Y,W,H" and "cover off" place and take away the box; each is
// answered on standard output with "shown <read-out> <outer W>x<outer H>"
// once repainted, or "error ...".
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
  std::fprintf(stderr,
               "gamesim: %s\nusage: gamesim [--size WxH] [--pos X,Y] [--still] [--readout-at X,Y] "
               "[--no-readout] [--decoys] [--price-list] [--busy] [--cover X,Y,W,H]\n",
               why);
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
  crewmap::gamesim::SceneOptions scene;
  const QStringList args = QApplication::arguments();
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QStringLiteral("--still")) {
      scene.animate = false;
    } else if (a == QStringLiteral("--no-readout")) {
      scene.readout = false;
    } else if (a == QStringLiteral("--decoys")) {
      scene.decoys = true;
    } else if (a == QStringLiteral("--busy")) {
      scene.busy = true;
    } else if (a == QStringLiteral("--price-list")) {
      scene.priceList = true;
    } else if (a == QStringLiteral("--cover") && i + 1 < args.size()) {
      const auto box = crewmap::gamesim::ParseBox(args[++i].toStdString());
      if (!box) Usage("bad --cover (want X,Y,W,H)");
      scene.cover = QRect((*box)[0], (*box)[1], (*box)[2], (*box)[3]);
    } else if (a == QStringLiteral("--readout-at") && i + 1 < args.size()) {
      const auto place = crewmap::gamesim::ParsePlace(args[++i].toStdString());
      if (!place) Usage("bad --readout-at (want X,Y)");
      scene.readoutAt = QPoint(place->first, place->second);
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

  crewmap::gamesim::SeaWindow window(scene);
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
