// Controls that keep their look over a picture that keeps changing (the map
// window's slider, check box and buttons) must look on the screen as the
// same controls drawn by their style every time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStyleFactory>
#include <QTest>
#include <cstdlib>
#include <functional>
#include <memory>

#include "ui/cached_look.h"

namespace crewmap::ui {
namespace {

// Two panels side by side, each a coloured backdrop under a slider, a check
// box and a button: the left panel's controls keep their look, the right's
// are plain.
struct Panels {
  QWidget window, *backdrop[2];
  QSlider* slider[2];
  QCheckBox* check[2];
  QPushButton* button[2];

  Panels() {
    window.resize(400, 120);
    for (int i = 0; i < 2; ++i) {
      backdrop[i] = new QWidget(&window);
      backdrop[i]->setGeometry(200 * i, 0, 200, 120);
      backdrop[i]->setAutoFillBackground(true);
      slider[i] = i ? new QSlider(Qt::Vertical, &window)
                    : new CachedLook<QSlider, QStyleOptionSlider>(Qt::Vertical, &window);
      check[i] = i ? new QCheckBox(QStringLiteral("自分を中心"), &window)
                   : new CachedLook<QCheckBox, QStyleOptionButton>(QStringLiteral("自分を中心"), &window);
      button[i] = i ? new QPushButton(QStringLiteral("ナビ"), &window)
                    : new CachedLook<QPushButton, QStyleOptionButton>(QStringLiteral("ナビ"), &window);
      slider[i]->setTickPosition(QSlider::TicksRight);
      slider[i]->setGeometry(200 * i + 8, 8, 33, 105);
      check[i]->setGeometry(200 * i + 48, 8, 105, 17);
      check[i]->setAutoFillBackground(true);  // its text on its own background, as on the map
      button[i]->setGeometry(200 * i + 48, 40, 49, 25);
      for (QWidget* c : std::initializer_list<QWidget*>{slider[i], check[i], button[i]})
        c->setFocusPolicy(Qt::NoFocus);  // neither panel shows a focused control
    }
    window.show();
  }
  void Beneath(int hue) {
    for (QWidget* b : backdrop) b->setPalette(QPalette(QColor::fromHsv(hue, 200, 200)));
  }
  // The largest difference in a colour channel between the panels on the screen.
  int Difference() {
    for (int i = 0; i < 5; ++i) QApplication::processEvents();
    const QImage shot = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    int largest = 0;
    for (int y = 0; y < 120; ++y)
      for (int x = 0; x < 200; ++x) {
        const QRgb p = shot.pixel(x, y), q = shot.pixel(x + 200, y);
        largest = std::max({largest, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                            std::abs(qBlue(p) - qBlue(q))});
      }
    return largest;
  }
};

// Faults caught: a look kept after a change made from code (no event reaches
// the control), or after one that only an event tells (a new style); the
// copy drawn opaque or offset. Blending the copy may round a channel by one
// where the style's edges are partly transparent.
TEST(CachedLook, LooksAsTheStyleDrawsItOverAChangingPicture) {
  Panels panels;
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&panels.window));
  panels.Difference();  // (a window's first paint can differ in a slider's ticks)
  std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
  ASSERT_TRUE(windows);
  const std::pair<const char*, std::function<void(int)>> steps[] = {
      {"picture beneath changed", [&](int) { panels.Beneath(60); }},
      {"unchecked from code", [&](int i) { panels.check[i]->setChecked(false); }},
      {"slider moved from code", [&](int i) { panels.slider[i]->setValue(50); }},
      {"text set from code", [&](int i) { panels.button[i]->setText(QStringLiteral("閉じる")); }},
      {"another style", [&](int i) { panels.slider[i]->setStyle(windows.get()); }},
      {"picture beneath changed again", [&](int) { panels.Beneath(250); }},
  };
  for (const auto& [what, change] : steps) {
    change(0);
    change(1);
    EXPECT_LE(panels.Difference(), 1) << what;
  }
}

}  // namespace
}  // namespace crewmap::ui
