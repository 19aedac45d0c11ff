// Controls that keep their look over a picture that keeps changing (the map
// window's slider, check box and buttons): on the screen each must look as
// the same control drawn by its style every time, over whatever lies
// beneath, after changes made from code and after events alike.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleFactory>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "ui/cached_look.h"

namespace crewmap::ui {
namespace {

// A picture that changes under the controls: a colour gradient, redrawn
// whenever the colour changes, as the map is under its controls.
class Backdrop : public QWidget {
 public:
  explicit Backdrop(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }
  void SetHue(int hue) {
    hue_ = hue;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QLinearGradient gradient(0, 0, width(), height());
    gradient.setColorAt(0, QColor::fromHsv(hue_, 200, 220));
    gradient.setColorAt(1, QColor::fromHsv((hue_ + 120) % 360, 255, 90));
    painter.fillRect(rect(), gradient);
  }

 private:
  int hue_ = 0;
};

// The largest difference in any colour channel between two equal-sized images.
int LargestDifference(const QImage& a, const QImage& b) {
  if (a.size() != b.size()) return 256;
  int largest = 0;
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x) {
      const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
      largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                          std::abs(qBlue(p) - qBlue(q))});
    }
  return largest;
}

// Two panels side by side, each a backdrop with a slider, a check box and a
// button at the same places: the left panel's controls keep their look, the
// right panel's are the plain ones.
struct Panels {
  QWidget window;
  Backdrop* backdrop[2];
  QSlider* slider[2];
  QCheckBox* check[2];
  QPushButton* button[2];

  Panels() {
    window.resize(400, 160);
    for (int i = 0; i < 2; ++i) {
      backdrop[i] = new Backdrop(&window);
      backdrop[i]->setGeometry(200 * i, 0, 200, 160);
      slider[i] = i == 0 ? new CachedLook<QSlider, QStyleOptionSlider>(Qt::Vertical, &window)
                         : new QSlider(Qt::Vertical, &window);
      check[i] = i == 0 ? new CachedLook<QCheckBox, QStyleOptionButton>(QStringLiteral("自分を中心"), &window)
                        : new QCheckBox(QStringLiteral("自分を中心"), &window);
      button[i] = i == 0 ? new CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("ナビ"), &window)
                         : new QPushButton(QStringLiteral("ナビ"), &window);
      slider[i]->setRange(0, 6);
      slider[i]->setTickPosition(QSlider::TicksRight);
      slider[i]->setGeometry(200 * i + 8, 8, 33, 105);
      check[i]->setGeometry(200 * i + 48, 8, 105, 17);
      check[i]->setChecked(true);
      // Text lies on the control's own background, as on the map window.
      QPalette palette = check[i]->palette();
      palette.setColor(QPalette::Window, Qt::black);
      palette.setColor(QPalette::WindowText, Qt::white);
      check[i]->setPalette(palette);
      check[i]->setAutoFillBackground(true);
      button[i]->setGeometry(200 * i + 48, 40, 49, 25);
      // Neither panel takes the focus on showing (a focused control looks different).
      for (QWidget* control : {static_cast<QWidget*>(slider[i]), static_cast<QWidget*>(check[i]),
                               static_cast<QWidget*>(button[i])})
        control->setFocusPolicy(Qt::NoFocus);
    }
    window.show();
  }

  // The largest difference between the two panels on the screen, after
  // the events have run.
  int Difference() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QImage shot = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    return LargestDifference(shot.copy(0, 0, 200, 160), shot.copy(200, 0, 200, 160));
  }
};

// Faults caught: a look kept after a change made from code (a value, a
// check state, a text: no event reaches the control); a look kept after an
// event (disabled); the copy drawn opaque, offset or without what lies
// beneath showing through. Blending the copy over the picture may round a
// channel by one where the style's edges are partly transparent.
TEST(CachedLook, LooksAsTheStyleDrawsItOverAChangingPicture) {
  Panels panels;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panels.window));
  constexpr int kRounding = 1;
  panels.Difference();  // (the window's first paint can differ in a slider's ticks in both panels)
  for (int hue : {60, 200, 300}) {
    for (Backdrop* b : panels.backdrop) b->SetHue(hue);
    EXPECT_LE(panels.Difference(), kRounding) << "picture beneath changed to hue " << hue;
  }
  for (int i = 0; i < 2; ++i) panels.check[i]->setChecked(false);
  EXPECT_LE(panels.Difference(), kRounding) << "unchecked from code";
  for (int i = 0; i < 2; ++i) panels.slider[i]->setValue(5);
  EXPECT_LE(panels.Difference(), kRounding) << "slider moved from code";
  for (int i = 0; i < 2; ++i) panels.button[i]->setText(QStringLiteral("閉じる"));
  EXPECT_LE(panels.Difference(), kRounding) << "text set from code";
  for (int i = 0; i < 2; ++i) panels.button[i]->setEnabled(false);
  EXPECT_LE(panels.Difference(), kRounding) << "button disabled";
  // A new style: nothing the style option holds changes, only an event tells.
  std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  ASSERT_TRUE(windows);
  for (int i = 0; i < 2; ++i) panels.slider[i]->setStyle(windows.get());
  EXPECT_LE(panels.Difference(), kRounding) << "another style";
  for (Backdrop* b : panels.backdrop) b->SetHue(30);
  EXPECT_LE(panels.Difference(), kRounding) << "picture beneath changed again";
}

}  // namespace
}  // namespace crewmap::ui
