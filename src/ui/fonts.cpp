#include "ui/fonts.h"

#include <QStringList>

namespace crewmap::ui {

QFont DesignFont(const QString& face, double pointSize, bool bold) {
  QStringList families{face};
  if (face == kGothic) {
    families << QStringLiteral("MS Gothic") << QStringLiteral("Noto Sans Mono CJK JP");
  } else if (face == kPGothic) {
    families << QStringLiteral("MS PGothic") << QStringLiteral("Noto Sans CJK JP");
  } else if (face == kPopTitle) {
    families << QStringLiteral("HGSoeiKakupoptai") << QStringLiteral("Noto Sans CJK JP Black")
             << QStringLiteral("Noto Sans CJK JP");
  }
  families << QStringLiteral("Noto Sans CJK JP");
  QFont font;
  font.setFamilies(families);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  return font;
}

}  // namespace crewmap::ui
