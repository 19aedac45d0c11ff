#pragma once
// A line of text for the see-through overlay: light letters with a black
// one-pixel outline, readable over light sea, dark land and the game's
// scenery. Drawn without anti-aliasing, so every pixel is either the letter,
// the outline or untouched: no near-white fringe survives the cut-out of
// the window's white and takes clicks. Takes no mouse input itself.
#include <QColor>
#include <QString>
#include <QWidget>

namespace crewmap::navi {

class OutlinedText : public QWidget {
  Q_OBJECT

 public:
  OutlinedText(float leftTwips, float topTwips, float widthTwips, float heightTwips, QWidget* parent);

  QString text() const { return text_; }
  // False when the text is already shown.
  bool setText(const QString& text);

  static constexpr QRgb kLetter = 0xFFFFFF80;   // pale yellow, as the ring
  static constexpr QRgb kOutline = 0xFF000000;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

}  // namespace crewmap::navi
