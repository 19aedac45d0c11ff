#include "gamesim/sea_window.h"

#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

#include "gamesim/readout_font.h"

namespace crewmap::gamesim {
namespace {

// Scene colours stay clear of pure white and pure black: only the read-out
// uses those, as in the game.
const QColor kFoam(236, 246, 250);
const QColor kSail(246, 240, 222);
const QColor kHull(104, 62, 36);
const QColor kHullDark(66, 38, 22);
const QColor kPanel(22, 40, 66);
const QColor kPanelEdge(150, 126, 70);

// Draws `text` in the read-out's font with its first cell at (left, top).
void DrawInReadoutFont(QPainter& p, const std::string& text, int left, int top) {
  const ReadoutImage image = RenderReadout(text);
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const Ink ink = image.at(x, y);
      if (ink != Ink::None)
        p.fillRect(QRect(left - 1 + x, top - 1 + y, 1, 1), ink == Ink::White ? QColor(255, 255, 255) : QColor(0, 0, 0));
    }
}

}  // namespace

SeaWindow::SeaWindow(SceneOptions options, QWidget* parent) : QWidget(parent), options_(std::move(options)) {
  setWindowTitle(QStringLiteral("大航海時代 Online"));
  setFocusPolicy(Qt::StrongFocus);
  // The read-out is drawn exactly once per pixel; no background fill needed.
  setAttribute(Qt::WA_OpaquePaintEvent);
  connect(&sailTimer_, &QTimer::timeout, this, [this] {
    voyage_.Tick();
    update();
  });
  sailTimer_.start(1000);
  if (options_.animate) {
    connect(&waveTimer_, &QTimer::timeout, this, [this] {
      wavePhase_ += 0.12;
      update();
    });
    waveTimer_.start(90);
  }
}

QString SeaWindow::Acknowledge() const {
  const QSize outer = frameGeometry().size();
  return QStringLiteral("shown %1 %2x%3")
      .arg(options_.readout ? QString::fromStdString(voyage_.Readout()) : QStringLiteral("-"))
      .arg(outer.width())
      .arg(outer.height());
}

QString SeaWindow::Apply(const QString& command) {
  const QString c = command.trimmed();
  if (c.startsWith(QStringLiteral("size "))) {
    const auto size = ParseSize(c.mid(5).toStdString());
    if (!size) return QStringLiteral("error bad size: ") + c;
    resize(size->first, size->second);
  } else if (c.startsWith(QStringLiteral("readout-at "))) {
    const auto place = ParsePlace(c.mid(11).toStdString());
    if (!place) return QStringLiteral("error bad place: ") + c;
    options_.readoutAt = QPoint(place->first, place->second);
  } else if (c == QStringLiteral("readout off")) {
    options_.readout = false;  // as the game does behind a loading screen
  } else if (c == QStringLiteral("cover off")) {
    options_.cover.reset();
  } else if (c.startsWith(QStringLiteral("cover "))) {
    const auto box = ParseBox(c.mid(6).toStdString());
    if (!box) return QStringLiteral("error bad box: ") + c;
    options_.cover = QRect((*box)[0], (*box)[1], (*box)[2], (*box)[3]);
  } else if (voyage_.ShowFixed(c.toStdString())) {
    options_.readout = true;
  } else {
    return QStringLiteral("error bad position: ") + c;
  }
  repaint();
  return Acknowledge();
}

void SeaWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void SeaWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Left: voyage_.SteerLeft(); break;
    case Qt::Key_Right: voyage_.SteerRight(); break;
    case Qt::Key_Up: voyage_.SpeedUp(); break;
    case Qt::Key_Down: voyage_.SlowDown(); break;
    case Qt::Key_Space: voyage_.TogglePause(); break;
    case Qt::Key_A: voyage_.Autopilot(); break;
    default: QWidget::keyPressEvent(event); return;
  }
  update();
}

void SeaWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int horizon = height() * 30 / 100;
  p.setRenderHint(QPainter::Antialiasing, true);
  if (options_.busy) {
    paintBusy(p);
  } else {
    paintSky(p, horizon);
    paintSea(p, horizon);
    paintCoast(p, horizon);
  }
  paintShip(p, horizon);
  paintHud(p);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (options_.decoys) paintDecoys(p);
  if (options_.priceList) paintPriceList(p);
  if (options_.readout) paintReadout(p);
  // A dark box (a chat window) in pure black, the read-out's outline colour:
  // the hardest thing to tell from the read-out where it cuts a glyph.
  if (options_.cover) p.fillRect(*options_.cover, QColor(0, 0, 0));
}

void SeaWindow::paintBusy(QPainter& p) {
  // Noise in the read-out's own white and black among sea colours, the same
  // for every paint at one size: every probe of the recognizer finds white
  // and black somewhere in it.
  if (busy_.size() != size()) {
    busy_ = QImage(size(), QImage::Format_RGB32);
    const QRgb colors[] = {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(24, 70, 130), qRgb(46, 118, 160),
                           qRgb(236, 246, 250), qRgb(12, 48, 92)};
    std::uint32_t state = 20261208u;
    for (int y = 0; y < busy_.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(busy_.scanLine(y));
      for (int x = 0; x < busy_.width(); ++x) {
        state = state * 1664525u + 1013904223u;
        line[x] = colors[(state >> 24) % std::size(colors)];
      }
    }
  }
  p.drawImage(0, 0, busy_);
}

void SeaWindow::paintDecoys(QPainter& p) {
  // A price that reads as a place in the world, nearer the bottom-right
  // corner than the read-out; a second one top left; a clock that changes
  // every second; a ship's number. None of them moves as a ship does.
  DrawInReadoutFont(p, "12,500", width() - 200, height() - 60);
  DrawInReadoutFont(p, "3,8", 30, 30);
  const QTime now = QTime::currentTime();
  DrawInReadoutFont(p, now.toString(QStringLiteral("hh mm ss")).toStdString(), width() - 120, 12);
  DrawInReadoutFont(p, "1234", width() / 2 - 12, height() * 30 / 100 + 8);
}

void SeaWindow::paintPriceList(QPainter& p) {
  // Twenty prices in a column on a panel nearer the bottom-right corner
  // than the read-out, each reading as a place in the world, none moving.
  p.fillRect(QRect(width() - 156, height() - 256, 80, 246), kPanel);
  for (int row = 0; row < 20; ++row)
    DrawInReadoutFont(p, std::to_string(1200 + 37 * row) + "," + std::to_string(300 + row), width() - 150,
                      height() - 250 + 12 * row);
}

void SeaWindow::paintSky(QPainter& p, int horizon) {
  QLinearGradient sky(0, 0, 0, horizon);
  sky.setColorAt(0.0, QColor(58, 112, 178));
  sky.setColorAt(1.0, QColor(168, 206, 232));
  p.fillRect(QRect(0, 0, width(), horizon), sky);
  // The sun and a few clouds.
  const QPointF sun(width() * 0.78, horizon * 0.35);
  QRadialGradient glow(sun, horizon * 0.5);
  glow.setColorAt(0.0, QColor(255, 244, 200, 200));
  glow.setColorAt(1.0, QColor(255, 244, 200, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(glow);
  p.drawEllipse(sun, horizon * 0.5, horizon * 0.5);
  p.setBrush(QColor(255, 236, 160));
  p.drawEllipse(sun, horizon * 0.09, horizon * 0.09);
  p.setBrush(QColor(240, 244, 248, 210));
  for (int i = 0; i < 4; ++i) {
    const double cx = std::fmod(width() * (0.12 + 0.27 * i) + wavePhase_ * 3.0, width() + 120.0) - 60.0;
    const double cy = horizon * (0.22 + 0.13 * (i % 3));
    p.drawEllipse(QPointF(cx, cy), 46, 13);
    p.drawEllipse(QPointF(cx + 26, cy - 7), 30, 12);
    p.drawEllipse(QPointF(cx - 24, cy + 2), 28, 9);
  }
}

void SeaWindow::paintSea(QPainter& p, int horizon) {
  QLinearGradient sea(0, horizon, 0, height());
  sea.setColorAt(0.0, QColor(46, 118, 160));
  sea.setColorAt(1.0, QColor(12, 48, 92));
  p.fillRect(QRect(0, horizon, width(), height() - horizon), sea);
  // Rows of wave crests, smaller and denser towards the horizon.
  p.setBrush(Qt::NoBrush);
  for (int row = 0; row < 18; ++row) {
    const double t = row / 17.0;
    const double y = horizon + 8 + t * t * (height() - horizon - 8);
    const double len = 10 + 34 * t;
    const double amp = 1.5 + 5 * t;
    QColor crest = kFoam;
    crest.setAlpha(70 + static_cast<int>(110 * t));
    p.setPen(QPen(crest, 1.0 + 1.4 * t));
    const double shift = std::fmod(wavePhase_ * (8 + 20 * t) + row * 37.0, len * 3);
    for (double x = -len * 3 + shift; x < width() + len; x += len * 3) {
      QPainterPath wave;
      wave.moveTo(x, y);
      wave.quadTo(x + len / 2, y - amp, x + len, y);
      p.drawPath(wave);
    }
  }
}

void SeaWindow::paintCoast(QPainter& p, int horizon) {
  // A far headland on the left, with a beach and a lighthouse.
  const double w = width();
  QPainterPath land;
  land.moveTo(0, horizon - 4);
  land.cubicTo(w * 0.08, horizon - 44, w * 0.2, horizon - 20, w * 0.27, horizon - 6);
  land.cubicTo(w * 0.31, horizon + 2, w * 0.34, horizon + 4, w * 0.36, horizon + 6);
  land.lineTo(0, horizon + 6);
  land.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(226, 206, 150));
  p.drawPath(land.translated(0, 5));
  QLinearGradient hill(0, horizon - 44, 0, horizon + 6);
  hill.setColorAt(0.0, QColor(86, 140, 78));
  hill.setColorAt(1.0, QColor(54, 100, 60));
  p.setBrush(hill);
  p.drawPath(land);
  const QPointF tower(w * 0.17, horizon - 30);
  p.setBrush(QColor(236, 226, 210));
  p.drawRect(QRectF(tower.x() - 3, tower.y() - 22, 6, 22));
  p.setBrush(QColor(196, 58, 46));
  p.drawRect(QRectF(tower.x() - 4, tower.y() - 27, 8, 5));
}

void SeaWindow::paintShip(QPainter& p, int horizon) {
  const double bob = std::sin(wavePhase_ * 1.7) * 3.0;
  const double roll = std::sin(wavePhase_ * 1.1) * 3.0;
  const QPointF at(width() * 0.46, horizon + (height() - horizon) * 0.45 + bob);
  // Facing east or west by the heading; the bow points where the ship sails.
  const double heading = voyage_.HeadingDegrees();
  const double facing = std::sin(heading * std::numbers::pi / 180.0) >= 0 ? 1.0 : -1.0;
  const double scale = std::clamp(height() / 600.0, 0.6, 1.6);

  p.save();
  p.translate(at);
  p.scale(scale * facing, scale);
  p.rotate(roll);

  // Wake behind the stern.
  if (!voyage_.Paused() && voyage_.Speed() > 0) {
    QColor wake = kFoam;
    wake.setAlpha(140);
    p.setPen(QPen(wake, 2));
    for (int i = 1; i <= 4; ++i) p.drawLine(QPointF(-70 - i * 22, 14 + i * 3), QPointF(-60 - i * 22, 14 + i * 3));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(8, 30, 60, 90));
  p.drawEllipse(QPointF(0, 24), 92, 10);

  // Hull.
  QPainterPath hull;
  hull.moveTo(-80, -4);
  hull.lineTo(88, -10);
  hull.quadTo(70, 18, 50, 22);
  hull.lineTo(-62, 22);
  hull.quadTo(-78, 14, -80, -4);
  p.setBrush(kHull);
  p.drawPath(hull);
  p.setBrush(kHullDark);
  p.drawRect(QRectF(-72, 6, 132, 4));
  p.setBrush(QColor(214, 170, 70));
  for (int i = 0; i < 5; ++i) p.drawRect(QRectF(-50 + i * 22, -1, 6, 5));
  // Stern castle.
  p.setBrush(kHull);
  p.drawRect(QRectF(-80, -22, 30, 20));
  p.setBrush(QColor(214, 170, 70));
  p.drawRect(QRectF(-76, -18, 22, 3));

  // Masts and sails.
  p.setPen(QPen(kHullDark, 3));
  p.drawLine(QPointF(-10, -6), QPointF(-10, -132));
  p.drawLine(QPointF(40, -8), QPointF(40, -108));
  p.drawLine(QPointF(86, -10), QPointF(122, -40));
  p.setPen(QPen(QColor(180, 168, 140), 1));
  p.setBrush(kSail);
  auto sail = [&p](double x, double top, double w, double h) {
    QPainterPath s;
    s.moveTo(x - w / 2, top);
    s.lineTo(x + w / 2, top);
    s.quadTo(x + w / 2 + 10, top + h / 2, x + w / 2, top + h);
    s.lineTo(x - w / 2, top + h);
    s.quadTo(x - w / 2 + 10, top + h / 2, x - w / 2, top);
    p.drawPath(s);
  };
  sail(-10, -122, 64, 46);
  sail(-10, -70, 76, 52);
  sail(40, -100, 50, 38);
  sail(40, -56, 60, 42);
  QPainterPath jib;
  jib.moveTo(44, -104);
  jib.lineTo(118, -38);
  jib.lineTo(56, -20);
  jib.closeSubpath();
  p.drawPath(jib);
  // A red cross on the main sail and a pennant.
  p.setPen(QPen(QColor(190, 40, 40), 4));
  p.drawLine(QPointF(-10, -62), QPointF(-10, -26));
  p.drawLine(QPointF(-28, -44), QPointF(8, -44));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(200, 48, 40));
  QPainterPath pennant;
  pennant.moveTo(-10, -132);
  pennant.lineTo(-40, -126 + std::sin(wavePhase_ * 2.3) * 3);
  pennant.lineTo(-10, -122);
  p.drawPath(pennant);
  p.restore();
}

void SeaWindow::paintHud(QPainter& p) {
  // A compass rose with the heading, bottom left.
  const QPointF c(58, height() - 62.0);
  p.setPen(QPen(kPanelEdge, 2));
  p.setBrush(QColor(22, 40, 66, 200));
  p.drawEllipse(c, 40, 40);
  p.setPen(QPen(QColor(230, 220, 190), 1));
  QFont font = p.font();
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(c.x() - 8, c.y() - 39, 16, 14), Qt::AlignCenter, QStringLiteral("N"));
  const double rad = voyage_.HeadingDegrees() * std::numbers::pi / 180.0;
  const QPointF tip(c.x() + 28 * std::sin(rad), c.y() - 28 * std::cos(rad));
  p.setPen(QPen(QColor(214, 72, 60), 3, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(c, tip);
  p.setBrush(QColor(214, 170, 70));
  p.setPen(Qt::NoPen);
  p.drawEllipse(c, 4, 4);

  QString status = voyage_.Paused() ? QStringLiteral("停泊中 (Space で出航)")
                                    : voyage_.OnAutopilot() ? QStringLiteral("航路を自動航行中")
                                                            : QStringLiteral("手動操船中 (A で自動航行)");
  font.setPixelSize(13);
  font.setBold(false);
  p.setFont(font);
  const QRectF box(110, height() - 50.0, 360, 38);
  p.setPen(QColor(230, 224, 204));
  p.drawText(box, Qt::AlignLeft | Qt::AlignTop, status);
  p.setPen(QColor(180, 196, 210));
  p.drawText(box, Qt::AlignLeft | Qt::AlignBottom, QStringLiteral("← → 舵   ↑ ↓ 帆   Space 停泊"));
}

void SeaWindow::paintReadout(QPainter& p) {
  const int left = options_.readoutAt ? options_.readoutAt->x() : ReadoutLeftFor(width());
  const int top = options_.readoutAt ? options_.readoutAt->y() : ReadoutTopFor(height());
  const std::string text = voyage_.Readout();
  // The game's read-out sits on a small dark plate covering all twelve cells.
  const QRect plate(left - 4, top - 4, 12 * kCellWidth + 8, kCellHeight + 8);
  p.fillRect(plate, kPanel);
  p.setPen(kPanelEdge);
  p.setBrush(Qt::NoBrush);
  p.drawRect(plate.adjusted(0, 0, -1, -1));

  DrawInReadoutFont(p, text, left, top);
}

}  // namespace crewmap::gamesim
