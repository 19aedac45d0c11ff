#include <gtest/gtest.h>

#include <QFontInfo>
#include <QFontMetrics>

#include "ui/fonts.h"
#include "ui/message_box.h"

namespace crewmap::ui {
namespace {

// Japanese captions must render: every design face resolves to a family
// that holds the glyphs of the captions the windows use.
TEST(DesignFont, EveryFaceRendersJapanese) {
  for (const QString& face : {kGothic, kPGothic, kPopTitle}) {
    const QFont font = DesignFont(face, 9.0);
    const QFontMetrics metrics(font);
    for (const QChar c : QStringLiteral("接続おなまえ自分を中心閉じるナビ１９●↑＋"))
      EXPECT_TRUE(metrics.inFont(c)) << face.toStdString() << " lacks U+" << std::hex << static_cast<unsigned>(c.unicode());
  }
}

TEST(MessageBox, HookAnswersInsteadOfAModalDialog) {
  QString seen;
  MessageButtons seenButtons = MessageButtons::Ok;
  SetMessageHook([&](const QString& text, MessageButtons buttons) {
    seen = text;
    seenButtons = buttons;
    return MessageAnswer::Retry;
  });
  EXPECT_EQ(ShowMessage(QStringLiteral("x"), MessageButtons::RetryCancel), MessageAnswer::Retry);
  EXPECT_EQ(seen, QStringLiteral("x"));
  EXPECT_EQ(seenButtons, MessageButtons::RetryCancel);
  SetMessageHook({});
}

}  // namespace
}  // namespace crewmap::ui
