#include "main/main_window_support.h"

#include <QFontMetrics>
#include <QLabel>

#include "startup/common.h"

namespace crewmap::main {

bool IsHost() { return startup::StartMode == 0; }

void FitCaption(QLabel* label, const QFont& designFont) {
  QFont font = designFont;
  while (font.pointSizeF() > 6.0 && QFontMetrics(font).horizontalAdvance(label->text()) > label->width())
    font.setPointSizeF(font.pointSizeF() - 0.5);
  label->setFont(font);
}

bool DebugLists() {
  static const bool on = qEnvironmentVariableIsSet("CREWMAP_DEBUG_LISTS");
  return on;
}

}  // namespace crewmap::main
