#pragma once
// The substitute game window: a sea with a coast and a sailing ship, and the
// coordinate read-out drawn pixel-exact where the game draws it: 78 pixels
// left of and 272 above the client area's bottom-right corner, or at a place
// of the caller's choosing. On request it also draws digits elsewhere in the
// read-out's font (a price, a clock, a ship's number) and a busy picture
// full of the read-out's own white and black, which must never pass for it.
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "gamesim/voyage.h"

namespace crewmap::gamesim {

struct SceneOptions {
  // Let the waves roll (off for tests and benchmarks, so that the window
  // only repaints when the read-out changes).
  bool animate = true;
  std::optional<QPoint> readoutAt;  // the first cell's place; none: the game's
  bool readout = true;              // false: the read-out is not shown at all
  bool decoys = false;
  bool busy = false;
  bool priceList = false;     // a column of still prices in the read-out's font
  std::optional<QRect> cover;  // a plain box drawn over everything (a tooltip, a chat window)
};

class SeaWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SeaWindow(SceneOptions options, QWidget* parent = nullptr);

  Voyage& voyage() { return voyage_; }
  // Applies one automation command ("X,Y", "size WxH", "readout-at X,Y",
  // "readout off", "cover X,Y,W,H" or "cover off"), repaints, and returns
  // the acknowledgement line ("shown <text> <W>x<H>" with the outer size,
  // "-" for the text while the read-out is off) or an "error ..." line.
  QString Apply(const QString& command);
  QString Acknowledge() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void paintSky(class QPainter& p, int horizon);
  void paintCoast(QPainter& p, int horizon);
  void paintSea(QPainter& p, int horizon);
  void paintShip(QPainter& p, int horizon);
  void paintHud(QPainter& p);
  void paintBusy(QPainter& p);
  void paintDecoys(QPainter& p);
  void paintReadout(QPainter& p);
  void paintPriceList(QPainter& p);

  SceneOptions options_;
  QImage busy_;  // the busy picture for the current size
  Voyage voyage_;
  QTimer sailTimer_;
  QTimer waveTimer_;
  double wavePhase_ = 0.0;
};

}  // namespace crewmap::gamesim
