// The start dialog on a real X server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include "startup/common.h"
#include "startup/frm_init.h"

namespace crewmap::startup {
namespace {

template <typename T>
T* Find(QWidget& parent, const char* name) {
  return parent.findChild<T*>(QString::fromLatin1(name));
}

TEST(frmInit, LayoutAndCaptions) {
  frmInit dialog([] {});
  dialog.show();
  QApplication::processEvents();
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("起動方法"));
  EXPECT_EQ(dialog.size(), QSize(241, 50));  // 3615 x 750 twips
  auto* server = Find<QRadioButton>(dialog, "Option1_0");
  auto* client = Find<QRadioButton>(dialog, "Option1_1");
  auto* ok = Find<QPushButton>(dialog, "Command1");
  ASSERT_TRUE(server && client && ok);
  EXPECT_EQ(server->text(), QStringLiteral("サーバとして起動"));
  EXPECT_EQ(client->text(), QStringLiteral("クライアントとして起動"));
  EXPECT_EQ(ok->text(), QStringLiteral("おｋ"));
  EXPECT_EQ(server->geometry(), QRect(8, 0, 137, 25));
  EXPECT_EQ(client->geometry(), QRect(8, 24, 137, 25));
  EXPECT_EQ(ok->geometry(), QRect(152, 8, 81, 33));
  // Both captions are readable in full within their buttons.
  EXPECT_LE(server->sizeHint().width(), server->width());
  EXPECT_LE(client->sizeHint().width(), client->width());
  EXPECT_FALSE(server->isChecked());
  EXPECT_TRUE(client->isChecked());
  // Catches the keyboard starting on the option not chosen (the first control).
  EXPECT_EQ(dialog.focusWidget(), client);
  dialog.close();
}

TEST(frmInit, OkSetsStartModeClosesAndShowsTheMainWindow) {
  struct Case {
    bool pickServer;
    std::int16_t mode;
  } const cases[] = {{false, 1}, {true, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pickServer);
    StartMode = 7;
    int shown = 0;
    bool dialogVisibleWhenShown = true;
    std::int16_t modeWhenShown = -1;
    frmInit* dialogPtr = nullptr;
    frmInit dialog([&] {
      ++shown;
      dialogVisibleWhenShown = dialogPtr->isVisible();
      modeWhenShown = StartMode;
    });
    dialogPtr = &dialog;
    dialog.show();
    QApplication::processEvents();
    if (c.pickServer) Find<QRadioButton>(dialog, "Option1_0")->click();
    Find<QPushButton>(dialog, "Command1")->click();
    EXPECT_EQ(StartMode, c.mode);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(modeWhenShown, c.mode);  // the main window already sees the choice
    EXPECT_FALSE(dialogVisibleWhenShown);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
  }
}

TEST(frmInit, ClosingWithoutOkChangesNothing) {
  StartMode = 0;
  int shown = 0;
  frmInit dialog([&] { ++shown; });
  dialog.show();
  QApplication::processEvents();
  Find<QRadioButton>(dialog, "Option1_1")->click();
  dialog.close();
  QApplication::processEvents();
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(StartMode, 0);
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

}  // namespace
}  // namespace crewmap::startup
