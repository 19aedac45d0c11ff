// UpdateMapMarkers against the real map window and navigation window.
#include "map/markers.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "map/circle_shape.h"
#include "map/frm_map.h"
#include "map/map_area.h"
#include "map/meeting_flag.h"
#include "map_test_support.h"
#include "navi/bearing.h"
#include "navi/frm_navi.h"
#include "navi/outlined_text.h"
#include "navi/ring_mark_view.h"
#include "navi/shape.h"
#include "navi/target_dot.h"

namespace crewmap::map {
namespace {

class Markers : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.isValid());
    ASSERT_TRUE(test::WriteColumnCodedPictures(folder_.path()));
    frmMap::SetPictureFolder(folder_.path());
    navi::frmNavi::Unload();
  }
  void TearDown() override {
    frmMap::Unload();
    navi::frmNavi::Unload();
    frmMap::SetPictureFolder(QString());
  }
  frmMap& ShownMap() {
    frmMap& map = frmMap::Load();
    map.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&map));
    return map;
  }
  static std::pair<int, int> View(frmMap& map) {
    std::int32_t x = 0, y = 0;
    map.GetPoint(x, y);
    return {x, y};
  }
  // The navigation dot as placed for an offset (x, y).
  static std::pair<float, float> DotFor(float x, float y) {
    const navi::BearingResult r = navi::ComputeBearing(x, y);
    return {r.Left, r.Top};
  }
  static std::pair<float, float> Dot() {
    const navi::frmNavi* n = navi::frmNavi::Loaded();
    return n ? std::make_pair(n->Shape3->Left(), n->Shape3->Top()) : std::make_pair(-1.0f, -1.0f);
  }
  QTemporaryDir folder_;
  net::SlotTable slots_{};
};

TEST_F(Markers, PlacesCirclesAndOutlinedNamesInPixels) {
  frmMap& map = ShownMap();
  map.Check1->setChecked(false);
  std::int32_t x = 1000, y = 500;
  map.MovePoint(x, y);
  slots_[0] = {"host", ""};
  slots_[3] = {"Kaito", "4000,2000"};  // map (1169.92, 584.96)
  UpdateMapMarkers(slots_, 0);

  // circle at (2488.83, 1214.41) twips -> (166, 81) pixels
  EXPECT_TRUE(map.Shape1[3]->isVisible());
  EXPECT_EQ(map.Shape1[3]->geometry(), QRect(166, 81, 8, 8));
  EXPECT_EQ(map.Shape1[3]->Fill(), QColor(128, 255, 128));
  EXPECT_EQ(map.Shape1[3]->Border(), QColor(0, 192, 0));
  const struct {
    QLabel* label;
    QPoint pos;
  } labels[] = {{map.lblPoint[3], {174, 89}},  {map.lblPoint2[3], {174, 88}}, {map.lblPoint3[3], {174, 90}},
                {map.lblPoint4[3], {173, 89}}, {map.lblPoint5[3], {175, 89}}};
  for (const auto& l : labels) {
    EXPECT_TRUE(l.label->isVisible()) << l.label->objectName().toStdString();
    EXPECT_EQ(l.label->text(), QStringLiteral("Kaito"));
    EXPECT_EQ(l.label->pos(), l.pos) << l.label->objectName().toStdString();
    EXPECT_EQ(l.label->size(), map.lblPoint[3]->sizeHint());
  }
  EXPECT_EQ(map.lblPoint2[3]->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_TRUE(map.lblPoint[3]->font().bold());
  // Slot 0 has no position: nothing of it shows, and the view was not touched.
  EXPECT_FALSE(map.Shape1[0]->isVisible());
  EXPECT_FALSE(map.lblPoint[0]->isVisible());
  EXPECT_EQ(View(map), std::make_pair(1000, 500));

  // Stacking, bottom to top: labels, the window's controls, circles, the cross.
  const QObjectList& order = map.Picture1->children();
  const auto at = [&](QObject* o) { return order.indexOf(o); };
  EXPECT_LT(at(map.lblPoint2[8]), at(map.lblPoint[0]) + 100);
  EXPECT_LT(at(map.lblPoint2[3]), at(map.lblPoint[3]));
  const QObjectList& over = map.MarksOver()->children();
  EXPECT_LT(over.indexOf(map.Shape1[8]), over.indexOf(map.Label1));
  // On screen the circles show, also one under the zoom slider (caught: a
  // member, the flag and the cross hidden under the controls).
  slots_[6] = {"Sora", "3484,1912"};  // map (1019.0, 559.2): under the slider
  slots_[7] = {"Mio", "4048,2031"};   // circle at (180, 90): on Kaito's name
  UpdateMapMarkers(slots_, 0);
  // Kaito's name moves clear of Mio's circle, its outline with it.
  EXPECT_FALSE(map.lblPoint[3]->geometry().intersects(map.Shape1[7]->geometry()));
  EXPECT_EQ(map.lblPoint2[3]->pos(), map.lblPoint[3]->pos() - QPoint(0, 1));
  ASSERT_TRUE(map.Slider1->geometry().contains(map.Shape1[6]->geometry()));
  const QImage shot = map.grab().toImage();
  EXPECT_EQ(shot.pixelColor(170, 85), QColor(128, 255, 128));  // Kaito's circle's fill
  EXPECT_EQ(shot.pixelColor(map.Shape1[6]->pos() + QPoint(4, 4)), QColor(255, 128, 255));  // Sora's
}

TEST_F(Markers, ZoomTwoAndEmptySlots) {
  frmMap& map = ShownMap();
  map.Check1->setChecked(false);
  map.Slider1->setValue(4);
  std::int32_t x = 100, y = 50;
  map.MovePoint(x, y);
  slots_[1] = {"", "376.0801282051282,205.13355592654424"};  // map (110, 60)
  slots_[2] = {"nick only", ""};
  slots_[5] = {"bad", "12;34"};
  slots_[6] = {"huge", "99999999999,1"};
  slots_[9] = {"nine", "100,100"};  // no marker set for slot 9
  UpdateMapMarkers(slots_, 1);
  EXPECT_TRUE(map.Shape1[1]->isVisible());
  EXPECT_EQ(map.Shape1[1]->pos(), QPoint(16, 16));  // 240 twips
  EXPECT_TRUE(map.lblPoint[1]->isVisible());
  EXPECT_EQ(map.lblPoint[1]->text(), QString());
  for (int i : {2, 5, 6}) {
    EXPECT_FALSE(map.Shape1[i]->isVisible()) << i;
    EXPECT_FALSE(map.lblPoint3[i]->isVisible()) << i;
  }
  // A marker shown before disappears when its position goes.
  slots_[1].Point.clear();
  UpdateMapMarkers(slots_, 1);
  EXPECT_FALSE(map.Shape1[1]->isVisible());
  EXPECT_FALSE(map.lblPoint5[1]->isVisible());
}

TEST_F(Markers, CentringOnThePlayer) {
  frmMap& map = ShownMap();
  ASSERT_EQ(map.Picture1->size(), QSize(366, 222));
  ASSERT_TRUE(map.Check1->isChecked());
  slots_[4] = {"me", "8192,4096"};
  UpdateMapMarkers(slots_, 4);
  EXPECT_EQ(View(map), std::make_pair(2213, 1087));
  EXPECT_EQ(map.Shape1[4]->pos(), QPoint(179, 107));  // (2685, 1605) twips
  EXPECT_EQ(map.MapSurface().pixel(0, 0), test::ColumnCodedColour(2213, 1087));

  // Unchecked: the tick never moves the view.
  map.Check1->setChecked(false);
  slots_[4].Point = "100,100";
  UpdateMapMarkers(slots_, 4);
  EXPECT_EQ(View(map), std::make_pair(2213, 1087));
}

TEST_F(Markers, HeadingGoesToTheNavigationWindow) {
  frmMap& map = ShownMap();
  map.Check1->setChecked(false);
  slots_[2] = {"me", "14175,7410"};
  // No target yet: no dot (caught: one towards the world's corner, which
  // players took for a target).
  UpdateMapMarkers(slots_, 2);
  ASSERT_NE(navi::frmNavi::Loaded(), nullptr);
  EXPECT_FALSE(navi::frmNavi::Loaded()->isVisible());
  EXPECT_TRUE(navi::frmNavi::Loaded()->Shape3->isHidden());

  map.Slider1->setValue(4);  // zoom 2
  std::int32_t x = 100, y = 50;
  map.MovePoint(x, y);
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(100, 50));  // target (150, 75)
  ASSERT_EQ(map.TargetX(), 150);
  UpdateMapMarkers(slots_, 2);
  EXPECT_EQ(Dot(), DotFor(2721.855f, -7153.573f));
  EXPECT_FALSE(navi::frmNavi::Loaded()->Shape3->isHidden());
}

// Following a member just east of the seam from a player just west of it,
// with the view across the seam. Faults caught: the marker or the cross
// drawn a world width off to the side, the dot and distance taken the long
// way round, the target not moving with the member, the overlay's text not
// shown or not readable, the member's leaving or old position not shown.
TEST_F(Markers, FollowsAMemberAcrossTheSeam) {
  frmMap& map = ShownMap();
  map.Check1->setChecked(false);
  std::int32_t x = 4700, y = 1100;  // shows map x 4700..4791, then 0..273
  map.MovePoint(x, y);
  const std::int64_t t = 1000000;
  slots_[0] = {"me", "16240,4000", t};   // map x 4749.9
  slots_[3] = {"Kaito", "200,4000", t};  // map x 58.5: 150.5 px into the view
  UpdateMapMarkers(slots_, 0, t);
  EXPECT_EQ(map.Shape1[3]->pos(), QPoint(146, 66));
  // A click on the own marker is a click on open map; on Kaito's, following.
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, map.Shape1[0]->geometry().center());
  EXPECT_EQ(map.FollowedSlot(), -1);
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, map.Shape1[3]->geometry().center());
  EXPECT_EQ(map.FollowedSlot(), 3);
  EXPECT_EQ(map.lblFollow->text(), QStringLiteral("Kaito を追跡中"));

  // Kaito sails on east; the player follows at 10 units a second.
  for (int s = 1; s <= 3; ++s) {
    slots_[0] = {"me", std::to_string(16240 + 10 * s) + ",4000", t + 1000 * s};
    slots_[3] = {"Kaito", "300,4000", t + 1000 * s};
    UpdateMapMarkers(slots_, 0, t + 1000 * s);
  }
  EXPECT_EQ(map.Label1->geometry().center(), QPoint(180, 70));  // on Kaito at map x 87.7
  EXPECT_EQ(Dot(), DotFor(414, 0));
  EXPECT_EQ(map.NaviText(), "414 0:42");
  // A late tick sees the same reading again: it counts at its own time, once
  // (caught: stamped with the tick's time, it made the speed and time jitter).
  UpdateMapMarkers(slots_, 0, t + 3600);
  EXPECT_EQ(map.NaviText(), "414 0:42");
  const navi::frmNavi* navi = navi::frmNavi::Loaded();
  EXPECT_EQ(navi->lblDistance->text(), QStringLiteral("414\n0:42"));
  EXPECT_TRUE(navi->Marks->Placed().empty()) << "Kaito is the dot, not a mark beside it too";
  EXPECT_EQ(map.lblDistance->text(), QStringLiteral("414 0:42"));

  // Kaito's position stops arriving: faded with its age; then Kaito leaves.
  UpdateMapMarkers(slots_, 0, t + 48000);
  EXPECT_TRUE(map.Shape1[3]->Faded());
  EXPECT_EQ(map.lblPoint[3]->text(), QStringLiteral("Kaito 45秒前"));
  EXPECT_EQ(map.lblPoint[3]->palette().color(QPalette::WindowText).alpha(), 128);
  slots_[3] = {"Rin", "5000,100", t + 49000};
  UpdateMapMarkers(slots_, 0, t + 49000);
  EXPECT_EQ(map.FollowedSlot(), -1);
  EXPECT_EQ(map.lblFollow->text(), QStringLiteral("Kaito が離れました"));
  EXPECT_EQ(map.Label1->geometry().center(), QPoint(180, 70));
  EXPECT_FALSE(map.Shape1[3]->Faded());

  // The host shares a target past the seam (in world units), then clears it;
  // a meeting point across the seam is flagged where the view shows it, and
  // a click on the flag makes it the target.
  std::vector<std::optional<GamePoint>> shared;
  map.SetMeetingShare([&](std::optional<GamePoint> p) {
    shared.push_back(p);
    map.SetMeetingPoint(p);  // as the host's window does
  });
  EXPECT_FALSE(map.Command4->isEnabled());  // nothing shared, nothing to clear
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(200, 100));  // map (4900, 1200)
  QTest::mouseClick(map.Command3, Qt::LeftButton);
  QTest::mouseClick(map.Command4, Qt::LeftButton);
  ASSERT_EQ(shared.size(), 2u);
  EXPECT_EQ(shared[0], (GamePoint{369, 4103}));
  EXPECT_EQ(shared[1], std::nullopt);
  EXPECT_FALSE(map.Command4->isEnabled());
  map.SetMeetingPoint(GamePoint{100, 4000});
  EXPECT_EQ(map.Flag1->pos(), QPoint(119, 51));
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, map.Flag1->geometry().center());
  EXPECT_EQ(map.Label1->geometry().center(), QPoint(121, 70));
}

// Eight members around a player near the seam. Faults caught: an overlay
// mark on the far side for a member just across the seam, or missing for an
// old one; two names at one spot drawn over each other; trails not drawn, or
// not gone with "軌跡" off; a distance still shown as live once the own
// position is unknown.
TEST_F(Markers, TheWholeGroupOnTheMapAndTheOverlay) {
  frmMap::SetPictureFolder(QString());  // the real pictures beside the tests
  frmMap& map = ShownMap();
  map.resize(560, 360);
  map.move(0, 0);
  const char* nicks[9] = {"me", "太郎", "User1", "Kaito", "Rin", "花子", "Sora", "Mio", "Ken"};
  const int start[9][2] = {{16200, 4000}, {16300, 3900}, {16300, 3900}, {200, 4000}, {15800, 4200},
                           {16000, 3700}, {16350, 4300}, {400, 3800},  {15700, 3900}};
  const std::int64_t t0 = 1000000;
  for (int s = 0; s < 40; ++s) {
    const std::int64_t t = t0 + 1000 * s;
    for (int i = 0; i < 9; ++i) {
      const int x = (start[i][0] + (i == 1 || i == 2 ? 0 : 8 * s * (i % 3 + 1))) % 16384;
      const int y = start[i][1] + (i == 1 || i == 2 ? 0 : s * (i % 4 - 1) * 3);
      slots_[static_cast<std::size_t>(i)] = {nicks[i], std::to_string(x) + "," + std::to_string(y), i == 6 ? t0 : t};
    }
    UpdateMapMarkers(slots_, 0, t);
  }
  QTest::mouseClick(map.Picture1, Qt::LeftButton, {}, QPoint(500, 60));
  UpdateMapMarkers(slots_, 0, t0 + 40000);
  navi::frmNavi* navi = navi::frmNavi::Loaded();
  ASSERT_NE(navi, nullptr);
  const auto& marks = navi->Marks->Placed();
  ASSERT_EQ(marks.size(), 8u);
  EXPECT_GT(marks[2].left, 915);  // Kaito, east over the seam: the right side
  EXPECT_TRUE(marks[5].mark.old);  // Sora stopped reporting
  EXPECT_FALSE(marks[0].mark.old);
  EXPECT_FALSE(map.lblPoint[1]->geometry().intersects(map.lblPoint[2]->geometry()));
  EXPECT_EQ(map.lblPoint[1]->x(), map.lblPoint[2]->x());
  // Each name beside its own circle, clear of the other circles, of the
  // controls and of the distance (caught: names under others' circles, the
  // distance over a name, under a button or past the edge).
  const QRect distance = map.lblDistance->geometry(), keepOff[] = {map.Slider1->geometry(), map.Check1->geometry(),
      map.Check2->geometry(), map.Command1->geometry(), map.Command2->geometry(), distance};
  ASSERT_TRUE(map.lblDistance->isVisible());
  EXPECT_TRUE(map.Picture1->rect().contains(distance));  // the cross is near the right edge
  for (const QRect& r : keepOff) EXPECT_TRUE(r == distance || !distance.intersects(r));
  for (int i = 0; i < 9; ++i) {
    for (const QRect& r : keepOff) EXPECT_FALSE(map.lblPoint[i]->geometry().intersects(r)) << i;
    for (int j = 0; j < 9; ++j)
      EXPECT_FALSE(j != i && map.lblPoint[i]->geometry().intersects(map.Shape1[j]->geometry())) << i << " on " << j;
  }
  const QImage withTrails = map.MapSurface();
  map.Check2->setChecked(false);
  const QImage without = map.MapSurface();
  int trailPixels = 0;
  for (int y = 0; y < without.height(); ++y)
    for (int x = 0; x < without.width(); ++x) trailPixels += withTrails.pixel(x, y) != without.pixel(x, y);
  EXPECT_GT(trailPixels, 200);

  ASSERT_FALSE(map.NaviText().empty());
  slots_[0].Point.clear();  // the read-out is lost
  UpdateMapMarkers(slots_, 0, t0 + 41000);
  EXPECT_EQ(map.NaviText(), "");
  EXPECT_TRUE(navi->lblDistance->text().isEmpty());
  EXPECT_TRUE(navi->Marks->Placed()[0].mark.old);
}

// A spot typed after Ctrl+G, then a route of pasted places. Faults caught:
// Ctrl+G not reaching the box; a full-width pair refused, or the overlay
// pointing the long way round the seam; a refused spot moving the target;
// a route that does not move on by itself, its step missing on the overlay,
// no log row at the arrival.
TEST_F(Markers, ATypedSpotAndARouteOfPastedPlaces) {
  frmMap::SetPlacesFile(std::filesystem::path(folder_.path().toStdString()) / PlacesFileName);
  frmMap& map = ShownMap();
  std::vector<std::string> log;
  map.SetArrivalLog([&](const std::string& row) { log.push_back(row); });
  const std::int64_t t = 1000000;
  slots_[0] = {"me", "16380,4000", t};
  UpdateMapMarkers(slots_, 0, t);
  map.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&map));
  QTest::keyClick(&map, Qt::Key_G, Qt::ControlModifier);
  ASSERT_TRUE(map.txtGoto->hasFocus());
  QInputMethodEvent typed;  // as the Japanese input method commits it
  typed.setCommitString(QStringLiteral("（１００，４０００）"));
  QCoreApplication::sendEvent(map.txtGoto, &typed);
  QTest::keyClick(map.txtGoto, Qt::Key_Return);
  UpdateMapMarkers(slots_, 0, t + 1000);
  const navi::frmNavi* navi = navi::frmNavi::Loaded();
  EXPECT_EQ(navi->lblDistance->text(), QStringLiteral("104"));
  EXPECT_EQ(Dot(), DotFor(104, 0));
  map.txtGoto->setText(QStringLiteral("20000,5"));
  QTest::keyClick(map.txtGoto, Qt::Key_Return);
  EXPECT_EQ(map.lblGoto->text(), QStringLiteral("世界の外です（x 0～16383, y 0～8191）"));
  UpdateMapMarkers(slots_, 0, t + 2000);
  EXPECT_EQ(navi->lblDistance->text(), QStringLiteral("104"));

  EXPECT_EQ(map.PastePlaces(QStringLiteral("地点\tX\tY\n岬A\t16383\t4000\n岬B, 200, 4000\n")),
            QStringLiteral("2 件の地点を追加しました（1 行目は地点ではありません）"));
  ASSERT_TRUE(map.StartRoute(map.Places().Current().Places()));
  UpdateMapMarkers(slots_, 0, t + 3000);  // 3 units from 岬A
  EXPECT_EQ(log, std::vector<std::string>{"岬A に到着しました (1/2)"});
  EXPECT_EQ(navi->lblStep->text(), QStringLiteral("2/2 岬B"));
  EXPECT_EQ(navi->lblDistance->text(), QStringLiteral("204"));
  frmMap::SetPlacesFile({});
}

TEST_F(Markers, NothingHappensWhileTheMapIsHiddenOrTheOwnSlotIsUnknown) {
  frmMap& map = frmMap::Load();  // loaded but hidden
  slots_[0] = {"host", "4000,2000"};
  UpdateMapMarkers(slots_, 0);
  EXPECT_FALSE(map.Shape1[0]->isVisibleTo(map.Picture1));
  EXPECT_EQ(navi::frmNavi::Loaded(), nullptr);
  EXPECT_EQ(View(map), std::make_pair(0, 0));

  map.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&map));
  UpdateMapMarkers(slots_, 12);  // an own slot outside the table: no heading, no centring
  EXPECT_EQ(navi::frmNavi::Loaded(), nullptr);
  EXPECT_TRUE(map.Shape1[0]->isVisible());
  UpdateMapMarkers(slots_, -1);
  EXPECT_EQ(navi::frmNavi::Loaded(), nullptr);

  // Caught: an overlay left pointing at an old heading once the map is
  // hidden ("閉じる") while it stays over the game.
  navi::frmNavi::Load().show();
  map.hide();
  slots_[1] = {"mate", "4100,2000"};
  UpdateMapMarkers(slots_, 0);
  EXPECT_EQ(navi::frmNavi::Loaded()->Marks->Placed().size(), 1u);

  frmMap::Unload();
  UpdateMapMarkers(slots_, 0);  // not loaded: nothing, and no crash
  EXPECT_EQ(frmMap::Loaded(), nullptr);
}

}  // namespace
}  // namespace crewmap::map
