#include "startup/qt_translation.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "ui/message_box.h"

namespace crewmap::startup {
namespace {

// A real message box, shown the way the program shows it, reports its button
// captions and is answered with its second button ("Cancel").
QStringList CaptionsOfRetryCancelBox(ui::MessageAnswer* answer) {
  QStringList captions;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll.stop();
    for (const QAbstractButton* button : box->buttons()) captions << button->text();
    box->button(QMessageBox::Cancel)->click();
  });
  poll.start(20);
  *answer = ui::ShowMessage(QStringLiteral("イメージのロードに失敗しました＞＜"), ui::MessageButtons::RetryCancel);
  return captions;
}

// Catches Qt's translation not being found or not installed (a wrong file
// name, a wrong folder, a translator that is not handed to the application):
// the box would then say "Retry" and "Cancel" under a Japanese text.
TEST(QtTranslation, MessageBoxButtonsSpeakJapanese) {
  ASSERT_TRUE(LoadQtTranslation(*QCoreApplication::instance()))
      << "no qtbase_ja.qm (Debian package qt6-translations-l10n)";
  ui::MessageAnswer answer = ui::MessageAnswer::Retry;
  const QString captions = CaptionsOfRetryCancelBox(&answer).join(QLatin1Char('|'));
  EXPECT_TRUE(captions.contains(QStringLiteral("再試行"))) << captions.toStdString();
  EXPECT_TRUE(captions.contains(QStringLiteral("キャンセル"))) << captions.toStdString();
  EXPECT_FALSE(captions.contains(QStringLiteral("Retry"))) << captions.toStdString();
  // The translated captions still answer as the buttons they stand for.
  EXPECT_EQ(answer, ui::MessageAnswer::Cancel);
}

}  // namespace
}  // namespace crewmap::startup
