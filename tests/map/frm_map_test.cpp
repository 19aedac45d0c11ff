// The map window on a real X server: load and its failure messages, layout,
// zoom steps, scrolling, the target cross and hiding/closing.
#include "map/frm_map.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <iterator>
#include <vector>

#include "map/map_area.h"
#include "map/map_drawing.h"
#include "map/map_files.h"
#include "map_test_support.h"
#include "navi/frm_navi.h"
#include "ui/message_box.h"

namespace crewmap::map {
namespace {

// Processes events until `done` holds or `ms` milliseconds have passed.
bool WaitUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
}

struct Asked {
  QString text;
  ui::MessageButtons buttons;
};

class MapWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    frmMap::SetPictureFolder(folder_.path());
  }
  void TearDown() override {
    frmMap::Unload();
    navi::frmNavi::Unload();
    frmMap::SetPictureFolder(QString());
    frmMap::SetHalfDcHook({});
    ui::SetMessageHook({});
  }
  // Answers every message with `answers` in turn (Cancel once they run out).
  void AnswerWith(std::vector<ui::MessageAnswer> answers, std::function<void()> onFirst = {}) {
    ui::SetMessageHook([this, answers, onFirst](const QString& text, ui::MessageButtons buttons) {
      asked_.push_back({text, buttons});
      if (asked_.size() == 1 && onFirst) onFirst();
      return asked_.size() <= answers.size() ? answers[asked_.size() - 1] : ui::MessageAnswer::Cancel;
    });
  }
  static std::pair<int, int> View(frmMap& map) {
    std::int32_t x = 0, y = 0;
    map.GetPoint(x, y);
    return {x, y};
  }
  static void SetView(frmMap& map, std::int32_t x, std::int32_t y) { map.MovePoint(x, y); }
  static QSize Visible(const frmMap& map) { return {map.VisibleMapSize().w, map.VisibleMapSize().h}; }
  frmMap& ShownMap(int width = 366, int height = 222) {
    frmMap& map = frmMap::Load();
    map.resize(width, height);
    map.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&map));
    return map;
  }

  QTemporaryDir folder_;
  std::vector<Asked> asked_;
};

TEST_F(MapWindow, LoadsHiddenWithTheDesignLayout) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = frmMap::Load();
  EXPECT_EQ(frmMap::Loaded(), &map);
  EXPECT_FALSE(map.isVisible());
  EXPECT_TRUE(map.HasPictures());
  EXPECT_EQ(map.windowTitle(), QStringLiteral("Crewmap - マップ"));
  EXPECT_EQ(map.size(), QSize(366, 222));
  EXPECT_EQ(map.Hosei(), 10000);
  EXPECT_EQ(View(map), std::make_pair(0, 0));

  const struct {
    const char* name;
    QRect geometry;
  } controls[] = {
      {"Picture1", {0, 0, 366, 222}}, {"Slider1", {8, 8, 33, 105}},  {"Check1", {48, 8, 105, 17}},
      {"Command2", {256, 8, 49, 25}}, {"Command1", {312, 8, 49, 25}},
  };
  for (const auto& c : controls) {
    auto* widget = map.findChild<QWidget*>(c.name);
    ASSERT_NE(widget, nullptr) << c.name;
    EXPECT_EQ(widget->geometry(), c.geometry) << c.name;
  }
  EXPECT_EQ(map.Slider1->value(), 2);
  EXPECT_EQ(map.Slider1->minimum(), 0);
  EXPECT_EQ(map.Slider1->maximum(), 6);
  EXPECT_EQ(map.Slider1->orientation(), Qt::Vertical);
  EXPECT_EQ(map.Check1->text(), QStringLiteral("自分を中心"));
  EXPECT_TRUE(map.Check1->isChecked());
  EXPECT_TRUE(map.Check1->font().bold());
  EXPECT_EQ(map.Check1->palette().color(QPalette::Window), QColor(Qt::black));
  EXPECT_EQ(map.Check1->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(map.Command1->text(), QStringLiteral("閉じる"));
  EXPECT_EQ(map.Command2->text(), QStringLiteral("ナビ"));
  EXPECT_EQ(map.Label1->text(), QStringLiteral("＋"));
  EXPECT_EQ(map.Label1->size(), QSize(21, 21));
  EXPECT_EQ(map.Label1->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(map.findChild<QTimer*>("Timer1")->interval(), 10);
  EXPECT_FALSE(map.Timer1->isActive());
  for (int i = 0; i < 9; ++i) {
    for (const QString& name : {QStringLiteral("Shape1_%1"), QStringLiteral("lblPoint_%1"),
                                QStringLiteral("lblPoint2_%1"), QStringLiteral("lblPoint5_%1")}) {
      auto* w = map.findChild<QWidget*>(name.arg(i));
      ASSERT_NE(w, nullptr) << name.arg(i).toStdString();
      EXPECT_FALSE(w->isVisibleTo(&map));
    }
  }
  // Drawn already: the view at (0, 0) shows map columns 0.. and rows 0..
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(0, 0));
  EXPECT_EQ(map.MapSurface().pixel(365, 221), test::ColumnCodedColour(365, 221));
  EXPECT_TRUE(asked_.empty());
}

TEST_F(MapWindow, ShowsTheMapOneToOneAtZoomOne) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  SetView(map, 100, 200);
  const QImage& surface = map.MapSurface();
  ASSERT_EQ(surface.size(), QSize(366, 222));
  for (int x = 0; x < 366; ++x) {
    ASSERT_EQ(surface.pixel(x, 0), test::ColumnCodedColour(100 + x, 200)) << x;
    ASSERT_EQ(surface.pixel(x, 221), test::ColumnCodedColour(100 + x, 421)) << x;
  }
  // And it reaches the screen.
  const QImage shot = map.Picture1->grab().toImage();
  EXPECT_EQ(shot.pixel(300, 150), test::ColumnCodedColour(400, 350));
}

TEST_F(MapWindow, MovePointNormalisesAndRedraws) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  SetView(map, -10, 50);
  EXPECT_EQ(View(map), std::make_pair(4782, 50));
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(4782, 50));
  EXPECT_EQ(map.MapSurface().pixel(10, 0), test::ColumnCodedColour(0, 50));
  SetView(map, 4700, 5000);
  EXPECT_EQ(View(map), std::make_pair(4700, 2174));
  SetView(map, -5000, -3);
  EXPECT_EQ(View(map), std::make_pair(-208, 0));
  // An origin still west of the world after its one wrap shows the wrapped columns.
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(4792 - 208, 0));
}

TEST_F(MapWindow, ZoomStepsShiftTheOriginByTheRatio) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap(400, 222);  // 6000 twips wide
  SetView(map, 1000, 500);
  map.Slider1->setValue(4);  // 1 -> 2
  EXPECT_EQ(map.Hosei(), 20000);
  EXPECT_EQ(View(map).first, 1100);
  EXPECT_EQ(Visible(map), QSize(200, 111));
  // Every map pixel is a 2 x 2 block on screen.
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(1100, View(map).second));
  EXPECT_EQ(map.MapSurface().pixel(3, 0), test::ColumnCodedColour(1101, View(map).second));
  map.Slider1->setValue(5);  // 2 -> 4: the same ratio gives the same shift
  EXPECT_EQ(map.Hosei(), 40000);
  EXPECT_EQ(View(map).first, 1200);
  map.Slider1->setValue(0);  // 4 -> 0.5
  EXPECT_EQ(map.Hosei(), 5000);
  EXPECT_EQ(Visible(map), QSize(800, 444));
  map.Slider1->setValue(6);
  EXPECT_EQ(map.Hosei(), 80000);
  EXPECT_EQ(Visible(map), QSize(50, 28));
  // Back at zoom 1 the view is shown as is.
  map.Slider1->setValue(2);
  EXPECT_EQ(Visible(map), QSize(400, 222));
  QImage back(400, 222, QImage::Format_RGB32);
  ComposeBackBuffer(test::ColumnCodedHalf(false), test::ColumnCodedHalf(true), View(map).first, View(map).second,
                    back);
  EXPECT_EQ(map.MapSurface(), back);
}

TEST_F(MapWindow, AWideViewRepeatsTheColumnRuleAndShowsSeaBeyondThePoles) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap(1920, 1080);
  map.Slider1->setValue(0);  // zoom 0.5: 3840 x 2160 map pixels
  SetView(map, 3000, 0);
  const auto [vx, vy] = View(map);
  EXPECT_EQ(vy, 0);
  EXPECT_EQ(Visible(map), QSize(3840, 2160));
  // Screen pixel x shows map column ViewX + 2x + 1 (under its centre), the
  // column rule repeating past the world's width.
  for (int x = 0; x < 1920; ++x)
    ASSERT_EQ(map.MapSurface().pixel(x, 50), test::ColumnCodedColour((vx + 2 * x + 1) % 4792, vy + 101)) << x;

  map.resize(1920, 1200);  // 2400 map pixels high, taller than the world
  EXPECT_EQ(Visible(map), QSize(3840, 2400));
  EXPECT_EQ(View(map).second, -4);
  const int vx2 = View(map).first;
  // Screen row y shows map row -4 + 2y + 1: rows 0 and 1 lie above the top.
  EXPECT_EQ(map.MapSurface().pixel(5, 1), SeaColour);
  EXPECT_EQ(map.MapSurface().pixel(5, 2), test::ColumnCodedColour((vx2 + 11) % 4792, 1));
  EXPECT_EQ(map.MapSurface().pixel(5, 1199), test::ColumnCodedColour((vx2 + 11) % 4792, 2395));
  // And the whole area is the full composition stretched.
  QImage back(3840, 2400, QImage::Format_RGB32);
  ComposeBackBuffer(test::ColumnCodedHalf(false), test::ColumnCodedHalf(true), vx2, -4, back);
  QImage want(1920, 1200, QImage::Format_RGB32);
  StretchNearest(back, want);
  EXPECT_TRUE(map.MapSurface() == want);
}

// At every zoom factor, at views inside a half, across the seam and across
// the eastern edge, the area shows exactly the full composition stretched.
TEST_F(MapWindow, EveryZoomShowsTheCompositionStretched) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap(401, 223);
  map.Check1->setChecked(false);
  const QImage left = test::ColumnCodedHalf(false), right = test::ColumnCodedHalf(true);
  for (int position = 0; position <= 6; ++position) {
    map.Slider1->setValue(position);
    for (const auto& [x, y] : {std::pair{100, 200}, {2300, 40}, {4700, 2300}, {3001, 0}}) {
      SetView(map, x, y);
      const QSize size = Visible(map);
      // Zoomed out by 2 each pixel's centre ties two map columns and two map
      // rows; the window shows the odd ones: the view from the even origin.
      auto [vx, vy] = View(map);
      if (position == 0) vx -= vx & 1, vy -= vy & 1;
      QImage back(size, QImage::Format_RGB32);
      ComposeBackBuffer(left, right, vx, vy, back);
      QImage want(401, 223, QImage::Format_RGB32);
      if (position == 2)
        CopyPlain(back, want);
      else
        StretchNearest(back, want);
      ASSERT_TRUE(map.MapSurface() == want) << "position " << position << " view " << x << "," << y;
    }
  }
  // And the last one reaches the screen.
  const QImage shot = map.Picture1->grab().toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(shot.pixel(200, 100), map.MapSurface().pixel(200, 100));
  // Painted into another image at an offset (as QWidget::render does for
  // grabs and printing), the area lands there whole and nowhere else:
  // catches drawing into the device at the window's offset instead.
  QImage into(500, 300, QImage::Format_RGB32);
  into.fill(Qt::magenta);
  map.Picture1->render(&into, QPoint(50, 40));
  const QImage surface = map.MapSurface();
  EXPECT_EQ(into.copy(50, 40, 401, 223), surface);
  EXPECT_EQ(into.pixel(49, 39), QColor(Qt::magenta).rgb());
  EXPECT_EQ(into.pixel(451, 263), QColor(Qt::magenta).rgb());
}

// What the X server shows of the map window, at every zoom step, from the
// real map pictures: the map area outside the controls is exactly the
// picture halves composed and stretched (at zoom 0.5 from the even origin,
// see HalfSizeLevel). Catches any change on the way to the screen: the area
// drawn into the window's buffer at a wrong place or in a wrong format, a
// redraw of a changed view that never reaches the screen, a zoom step drawn
// from the wrong level, a scaling or seam error.
TEST_F(MapWindow, TheScreenShowsEveryZoomStepOfTheRealPictures) {
  frmMap::SetPictureFolder(QString());  // the real pictures beside the tests
  const QDir dir(frmMap::PictureFolder());
  QImage left(dir.filePath(QString::fromLatin1(LeftPictureName)));
  QImage right(dir.filePath(QString::fromLatin1(RightPictureName)));
  ASSERT_FALSE(left.isNull());
  ASSERT_FALSE(right.isNull());
  left.convertTo(QImage::Format_RGB32);
  right.convertTo(QImage::Format_RGB32);
  frmMap& map = ShownMap(401, 223);  // odd sizes: stretches that do not divide evenly
  map.Check1->setChecked(false);
  const QRect controls[] = {map.Slider1->geometry(), map.Check1->geometry(), map.Check2->geometry(), map.Command1->geometry(),
                            map.Command2->geometry(), map.txtGoto->geometry(), map.Check3->geometry(),
                            map.Command5->geometry()};
  for (int position : {2, 0, 1, 3, 4, 5, 6}) {
    map.Slider1->setValue(position);
    // Inside a half, across the seam, across the eastern edge; odd origins.
    for (const auto& [x, y] : {std::pair{1233, 777}, {2300, 41}, {4701, 2300}}) {
      SetView(map, x, y);
      SetView(map, x, y);  // the same view again changes nothing
      auto [vx, vy] = View(map);
      if (position == 0) vx -= vx & 1, vy -= vy & 1;
      QImage back(Visible(map), QImage::Format_RGB32);
      ComposeBackBuffer(left, right, vx, vy, back);
      QImage want(401, 223, QImage::Format_RGB32);
      StretchNearest(back, want);
      // The area is painted and sent to the X server when the events run.
      int differing = -1;
      WaitUntil(
          [&] {
            const QImage shot =
                map.screen()->grabWindow(map.winId()).toImage().convertToFormat(QImage::Format_RGB32);
            if (shot.size() != want.size()) return false;
            differing = 0;
            for (int py = 0; py < 223; ++py)
              for (int px = 0; px < 401; ++px) {
                const QPoint p(px, py);
                const bool control = std::any_of(std::begin(controls), std::end(controls),
                                                  [&](const QRect& r) { return r.contains(p); });
                differing += !control && shot.pixel(p) != want.pixel(p);
              }
            return differing == 0;
          },
          3000);
      EXPECT_EQ(differing, 0) << "zoom position " << position << " view " << x << "," << y;
    }
  }
}

TEST_F(MapWindow, RightButtonScrollsWhileHeldUnlessCentring) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  SetView(map, 1000, 500);
  const QPoint inside = map.Picture1->mapToGlobal(QPoint(200, 150));

  // "自分を中心" checked: no scrolling, the button-up still stops the timer.
  QCursor::setPos(inside);
  QTest::mousePress(map.Picture1, Qt::RightButton, {}, QPoint(200, 150));
  EXPECT_FALSE(map.Timer1->isActive());
  QTest::mouseRelease(map.Picture1, Qt::RightButton, {}, QPoint(200, 150));
  EXPECT_EQ(View(map), std::make_pair(1000, 500));

  map.Check1->setChecked(false);
  // Held without moving: the offset is zero, nothing moves.
  QTest::mousePress(map.Picture1, Qt::RightButton, {}, QPoint(200, 150));
  EXPECT_TRUE(map.Timer1->isActive());
  QTest::qWait(60);
  EXPECT_EQ(View(map), std::make_pair(1000, 500));

  // 40 pixels left of the press point: 10 map pixels right per step.
  QCursor::setPos(inside - QPoint(40, 0));
  EXPECT_TRUE(WaitUntil([&] { return View(map).first >= 1030; }, 2000));
  QTest::mouseRelease(map.Picture1, Qt::RightButton, {}, QPoint(160, 150));
  EXPECT_FALSE(map.Timer1->isActive());
  const auto stopped = View(map);
  EXPECT_EQ((stopped.first - 1000) % 10, 0);
  EXPECT_EQ(stopped.second, 500);
  QTest::qWait(50);
  EXPECT_EQ(View(map), stopped);
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(stopped.first, 500));
}

TEST_F(MapWindow, LeftClickSetsTheTargetAndTheCrossFollowsTheView) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  map.Slider1->setValue(4);  // zoom 2
  SetView(map, 100, 50);
  EXPECT_FALSE(map.Label1->isVisible());
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(100, 50));  // (1500, 750) twips
  EXPECT_EQ(map.TargetX(), 150);
  EXPECT_EQ(map.TargetY(), 75);
  EXPECT_TRUE(map.Label1->isVisible());
  EXPECT_EQ(map.Label1->pos(), QPoint(90, 40));  // (1350, 600) twips

  map.Slider1->setValue(2);  // zoom 1
  SetView(map, 50, 25);
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(50, 20));
  EXPECT_EQ(map.TargetX(), 100);
  EXPECT_EQ(map.TargetY(), 45);
  SetView(map, 4700, 25);  // target 192 columns east across the seam
  EXPECT_EQ(map.Label1->pos(), QPoint(182, 10));  // 2730 twips
  // Other buttons do nothing.
  QTest::mouseClick(map.Picture1, Qt::MiddleButton, {}, QPoint(10, 10));
  EXPECT_EQ(map.TargetX(), 100);
}

// Fault caught: keyboard focus on "自分を中心" or "軌跡" not shown (the
// style's focus frame, in its own dark colours, vanished on their black).
TEST_F(MapWindow, KeyboardFocusShowsOnTheTickBoxes) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  map.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&map));
  for (QCheckBox* box : {map.Check1, map.Check2}) {
    map.Command1->setFocus(Qt::TabFocusReason);
    const QImage without = box->grab().toImage();
    box->setFocus(Qt::TabFocusReason);
    const QImage with = box->grab().toImage();
    int lit = 0;
    for (int y = 0; y < with.height(); ++y)
      for (int x = 0; x < with.width(); ++x) lit += qGray(with.pixel(x, y)) > 128 && qGray(without.pixel(x, y)) < 64;
    EXPECT_GT(lit, 20) << box->text().toStdString();
  }
}

TEST_F(MapWindow, CloseButtonHidesAndKeepsEverything) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  map.Slider1->setValue(3);
  SetView(map, 1234, 321);
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(30, 30));
  const auto view = View(map);
  const int tx = map.TargetX(), ty = map.TargetY();
  QTest::mouseClick(map.Command1, Qt::LeftButton);
  EXPECT_FALSE(map.isVisible());
  EXPECT_EQ(frmMap::Loaded(), &map);
  map.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
  EXPECT_EQ(View(map), view);
  EXPECT_EQ(map.Hosei(), 15000);
  EXPECT_EQ(map.TargetX(), tx);
  EXPECT_EQ(map.TargetY(), ty);
  EXPECT_TRUE(map.HasPictures());
}

TEST_F(MapWindow, NaviButtonShowsTheNavigationWindowAndClosingUnloadsBoth) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap();
  QTest::mouseClick(map.Command2, Qt::LeftButton);
  ASSERT_NE(navi::frmNavi::Loaded(), nullptr);
  EXPECT_TRUE(navi::frmNavi::Loaded()->isVisible());
  map.close();  // from the frame: unloads
  EXPECT_EQ(frmMap::Loaded(), nullptr);
  EXPECT_EQ(navi::frmNavi::Loaded(), nullptr);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // The next load reads the pictures again.
  frmMap& again = frmMap::Load();
  EXPECT_TRUE(again.HasPictures());
  EXPECT_EQ(again.Hosei(), 10000);
}

TEST_F(MapWindow, ButtonsFollowTheRightEdgeOnlyWhenWideEnough) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  frmMap& map = ShownMap(500, 222);
  EXPECT_EQ(map.Command2->x(), 390);
  EXPECT_EQ(map.Command1->x(), 446);
  map.resize(100, 222);  // 1500 twips: "ナビ" stays, "閉じる" moves
  EXPECT_TRUE(WaitUntil([&] { return map.width() == 100; }, 2000));
  EXPECT_EQ(map.Command2->x(), 390);
  EXPECT_EQ(map.Command1->x(), 46);
  EXPECT_EQ(map.Picture1->size(), map.size());
}

TEST_F(MapWindow, PictureLoadFailureAsksRetryOrCancel) {
  struct Case {
    const char* what;
    bool writeLeft;
    QByteArray leftBytes;
  };
  const Case cases[] = {{"missing", false, {}}, {"empty", true, {}}, {"not a picture", true, QByteArray("GIF? no.")}};
  for (const Case& c : cases) {
    QDir(folder_.path()).removeRecursively();
    QDir().mkpath(folder_.path());
    ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
    const QString left = QDir(folder_.path()).filePath(LeftPictureName);
    QFile::remove(left);
    if (c.writeLeft) {
      QFile file(left);
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      file.write(c.leftBytes);
    }
    asked_.clear();
    AnswerWith({ui::MessageAnswer::Cancel});
    frmMap& map = frmMap::Load();
    ASSERT_EQ(asked_.size(), 1u) << c.what;
    EXPECT_EQ(asked_[0].text, QStringLiteral("イメージのロードに失敗しました＞＜"));
    EXPECT_EQ(asked_[0].buttons, ui::MessageButtons::RetryCancel);
    // Cancel: loaded, hidden, without pictures; showing it draws no map.
    EXPECT_EQ(frmMap::Loaded(), &map);
    EXPECT_FALSE(map.isVisible());
    EXPECT_FALSE(map.HasPictures());
    map.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
    std::int32_t x = 100, y = 100;
    map.MovePoint(x, y);
    EXPECT_NE(test::DecodeColumn(map.MapSurface().pixel(10, 10)), 110);
    EXPECT_EQ(map.MapSurface().pixel(10, 10), map.MapSurface().pixel(300, 200));
    frmMap::Unload();
  }
}

TEST_F(MapWindow, RetryReadsBothPicturesAgain) {
  // Nothing there at first; the pictures appear while the message is up.
  AnswerWith({ui::MessageAnswer::Retry}, [this] { test::WriteColumnCodedPictures(folder_.path()); });
  frmMap& map = frmMap::Load();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_TRUE(map.HasPictures());
  EXPECT_EQ(map.MapSurface().pixel(5, 5), test::ColumnCodedColour(5, 5));
}

TEST_F(MapWindow, PictureNamesMatchWithoutRegardToCase) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  const QDir dir(folder_.path());
  ASSERT_TRUE(QFile::rename(dir.filePath(LeftPictureName), dir.filePath("WORLDMAP_C1.JPG")));
  AnswerWith({});
  EXPECT_TRUE(frmMap::Load().HasPictures());
  EXPECT_TRUE(asked_.empty());
}

TEST_F(MapWindow, DrawingSurfaceFailureAsksRetryOrCancel) {
  ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
  int attempts = 0;
  frmMap::SetHalfDcHook([&attempts] { return ++attempts > 1; });
  AnswerWith({ui::MessageAnswer::Retry});
  frmMap& map = frmMap::Load();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].text, QStringLiteral("内部DCの生成に失敗しました＞＜"));
  EXPECT_EQ(asked_[0].buttons, ui::MessageButtons::RetryCancel);
  EXPECT_EQ(attempts, 2);
  EXPECT_TRUE(map.HasPictures());
  frmMap::Unload();

  asked_.clear();
  frmMap::SetHalfDcHook([] { return false; });
  AnswerWith({ui::MessageAnswer::Cancel});
  frmMap& cancelled = frmMap::Load();
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_FALSE(cancelled.HasPictures());
  EXPECT_FALSE(cancelled.isVisible());
}

}  // namespace
}  // namespace crewmap::map
