// The list box of the main window on a real X server: the newest row is
// selected and in view after every append, whatever the user selected or
// scrolled to; keys and clicks select; clearing empties it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

#include "ui/list_box.h"
#include "ui/list_scroll.h"

namespace crewmap::ui {
namespace {

TEST(ListScroll, TopRowMovesOnlyAsFarAsNeeded) {
  EXPECT_EQ(TopRowShowing(5, 3, 4), 3);   // already in view
  EXPECT_EQ(TopRowShowing(7, 3, 4), 4);   // below: becomes the last full row
  EXPECT_EQ(TopRowShowing(1, 3, 4), 1);   // above: becomes the top row
  EXPECT_EQ(TopRowShowing(9, 0, 0), 9);   // a view too small for a row still shows it
  EXPECT_EQ(LastTopRow(10, 4), 6);
  EXPECT_EQ(LastTopRow(3, 4), 0);
}

TEST(ListBox, NewestRowSelectedAndInViewAfterEveryAppend) {
  ListBox list;
  list.setGeometry(0, 0, 200, 80);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  QSignalSpy changed(&list, &ListBox::currentRowChanged);

  for (int i = 0; i < 3000; ++i) {
    list.addAndSelect(QStringLiteral("[2026/12/06 07:20:06]%1. >> 127.0.0.1 Connect").arg(i));
    if (i % 97 == 0 || i < 10) {
      ASSERT_EQ(list.currentRow(), i);
      ASSERT_TRUE(list.isRowVisible(i)) << i;
      QApplication::processEvents();  // paints in between, as the event loop would
    }
    if (i == 1500) {
      list.setCurrentRow(3);  // the user looks at an old row
      ASSERT_TRUE(list.isRowVisible(3));
      ASSERT_FALSE(list.isRowVisible(1500));
    }
  }
  EXPECT_EQ(list.count(), 3000);
  EXPECT_EQ(list.text(2999), "[2026/12/06 07:20:06]2999. >> 127.0.0.1 Connect");
  EXPECT_EQ(list.text(3000), "");
  EXPECT_EQ(list.currentRow(), 2999);
  EXPECT_TRUE(list.isRowVisible(2999));
  EXPECT_EQ(changed.count(), 3000 + 1);  // every append, plus the user's choice
  EXPECT_GT(list.horizontalScrollBar()->maximum(), 0);  // the rows are wider than the box

  // Keys move the selection and keep it in view; a click selects the row under it.
  QTest::keyClick(&list, Qt::Key_Home);
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(list.topRow(), 0);
  QTest::keyClick(&list, Qt::Key_Down);
  EXPECT_EQ(list.currentRow(), 1);
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(10, list.rowHeight() * 2 + 1));
  EXPECT_EQ(list.currentRow(), 2);
  QTest::keyClick(&list, Qt::Key_End);
  EXPECT_EQ(list.currentRow(), 2999);
  EXPECT_TRUE(list.isRowVisible(2999));

  // A shorter view keeps the selected row in view.
  list.resize(200, 40);
  QApplication::processEvents();
  EXPECT_TRUE(list.isRowVisible(2999));

  // Catches a cut-off row that cannot be read whole: the row under the mouse
  // shows its text as a tool tip; a row that fits shows none.
  const auto tipAt = [&list](int y) {
    QHelpEvent help(QEvent::ToolTip, QPoint(5, y), list.viewport()->mapToGlobal(QPoint(5, y)));
    QApplication::sendEvent(list.viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  list.clear();
  list.addItem(QStringLiteral("row"));
  EXPECT_EQ(tipAt(1), "");
  list.addItem(QStringLiteral("[2026/12/06 07:20:06]ルータが応答しません。ルータでTCP 21212を転送してください"));
  EXPECT_EQ(tipAt(list.rowHeight() + 1), list.text(1));
  list.clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.currentRow(), -1);
  list.addAndSelect(QStringLiteral("client#3"));
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(list.topRow(), 0);
}


// Catches: a capped list that still grows (a churning peer grows the host by
// a gigabyte an hour); the oldest rows kept instead of the newest; the
// selection left on its old index after rows leave, so the highlight jumps
// to a different row; the view not following the rows that moved up.
TEST(ListBox, ACappedLogDropsItsOldestRowsAndKeepsTheSelectionOnItsRow) {
  ListBox list;
  list.setGeometry(0, 0, 200, 80);
  list.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  list.setMaxRows(50);
  for (int i = 0; i < 120; ++i) {
    list.addAndSelect(QStringLiteral("row %1").arg(i));
    ASSERT_LE(list.count(), 50);
    ASSERT_EQ(list.text(list.currentRow()), QStringLiteral("row %1").arg(i));
    ASSERT_TRUE(list.isRowVisible(list.currentRow()));
  }
  EXPECT_EQ(list.text(0), "row 70");
  EXPECT_EQ(list.text(49), "row 119");

  // The user looks at an older row; plain additions (the member list's)
  // move it up without changing which row is highlighted or shown.
  list.setCurrentRow(20);  // "row 90"
  const int topBefore = list.topRow();
  const QString shownBefore = list.text(topBefore);
  for (int i = 0; i < 5; ++i) list.addItem(QStringLiteral("more %1").arg(i));
  EXPECT_EQ(list.text(list.currentRow()), "row 90");
  EXPECT_EQ(list.text(list.topRow()), shownBefore);
  // Once its row has left, nothing is selected.
  for (int i = 0; i < 40; ++i) list.addItem(QStringLiteral("later %1").arg(i));
  EXPECT_EQ(list.currentRow(), -1);
  EXPECT_EQ(list.count(), 50);

  // Lowering the cap drops the oldest at once.
  list.setMaxRows(10);
  EXPECT_EQ(list.count(), 10);
  EXPECT_EQ(list.text(9), "later 39");
}

}  // namespace
}  // namespace crewmap::ui
