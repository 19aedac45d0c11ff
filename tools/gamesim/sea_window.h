#pragma once
// The substitute game window: a sea with a coast and a sailing ship, and the
// coordinate read-out drawn pixel-exact where the game would draw it for the
// window's current outer size.
#include <QTimer>
#include <QWidget>

#include "gamesim/voyage.h"

namespace crewmap::gamesim {

class SeaWindow : public QWidget {
  Q_OBJECT
 public:
  // `animate`: let the waves roll (off for tests and benchmarks, so that the
  // window only repaints when the read-out changes).
  explicit SeaWindow(bool animate, QWidget* parent = nullptr);

  Voyage& voyage() { return voyage_; }
  // Applies one automation command ("X,Y" or "size WxH"), repaints, and
  // returns the acknowledgement line ("shown <text> <W>x<H>" with the outer
  // size) or an "error ..." line.
  QString Apply(const QString& command);
  QString Acknowledge() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void paintSky(class QPainter& p, int horizon);
  void paintCoast(QPainter& p, int horizon);
  void paintSea(QPainter& p, int horizon);
  void paintShip(QPainter& p, int horizon);
  void paintHud(QPainter& p);
  void paintReadout(QPainter& p);

  Voyage voyage_;
  QTimer sailTimer_;
  QTimer waveTimer_;
  double wavePhase_ = 0.0;
  QSize lastOuter_;
};

}  // namespace crewmap::gamesim
