#pragma once
// The Japanese Windows fonts the windows are designed with, asked for by name
// first, then by their usual substitutes, then an installed CJK family.
#include <QFont>
#include <QString>

namespace crewmap::ui {

inline const QString kGothic = QStringLiteral("ＭＳ ゴシック");
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kPopTitle = QStringLiteral("HG創英角ﾎﾟｯﾌﾟ体");

QFont DesignFont(const QString& face, double pointSize = 9.0, bool bold = false);

}  // namespace crewmap::ui
