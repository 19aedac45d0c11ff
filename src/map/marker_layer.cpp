#include "map/marker_layer.h"

#include <QLabel>
#include <vector>

#include "common/twips.h"
#include "map/circle_shape.h"
#include "map/label_spread.h"
#include "map/name_label.h"
#include "map/slot_colours.h"
#include "ui/fonts.h"

namespace crewmap::map {
namespace {

QLabel* MakeNameLabel(QWidget* parent, const QString& name, int index, const QColor& colour) {
  auto* label = new NameLabel(parent);
  label->setObjectName(QStringLiteral("%1_%2").arg(name).arg(index));
  label->setFont(ui::DesignFont(ui::kGothic, 9, true));
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  label->setContentsMargins(0, 0, 0, 0);
  label->hide();
  return label;
}

QColor Rgb(std::uint32_t rgb) { return QColor::fromRgb(static_cast<QRgb>(rgb)); }

}  // namespace

void MarkerLayer::MakeMarkers(QWidget* area) {
  // Bottom to top: the name labels (each light label above its four black
  // copies), then the circles.
  const QColor light = QPalette().color(QPalette::Base);
  for (int i = 0; i < 9; ++i) {
    lblPoint2[i] = MakeNameLabel(area, QStringLiteral("lblPoint2"), i, Qt::black);
    lblPoint3[i] = MakeNameLabel(area, QStringLiteral("lblPoint3"), i, Qt::black);
    lblPoint4[i] = MakeNameLabel(area, QStringLiteral("lblPoint4"), i, Qt::black);
    lblPoint5[i] = MakeNameLabel(area, QStringLiteral("lblPoint5"), i, Qt::black);
    lblPoint[i] = MakeNameLabel(area, QStringLiteral("lblPoint"), i, light);
  }
  for (int i = 0; i < 9; ++i) {
    Shape1[i] = new CircleShape(area, Rgb(kSlotColours[i].fill), Rgb(kSlotColours[i].border));
    Shape1[i]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
    Shape1[i]->hide();
  }
}

void MarkerLayer::PlaceMarkers(const std::array<MarkerShow, 9>& markers) {
  // The names first, to learn their sizes; then each kept clear of the
  // names of lower slots, so members at one spot get a column of names.
  std::vector<LabelBox> boxes;
  std::vector<int> shown;  // the slot of each box
  for (int i = 0; i < 9; ++i) {
    const MarkerShow& m = markers[static_cast<std::size_t>(i)];
    Shape1[i]->setVisible(m.visible);
    if (!m.visible) {
      for (QLabel* label : Labels(i)) label->hide();
      continue;
    }
    Shape1[i]->move(TwipsToPixels(m.placement.shapeLeft), TwipsToPixels(m.placement.shapeTop));
    Shape1[i]->SetFaded(m.old);
    const QString text = QString::fromStdString(m.text);
    int k = 0;
    for (QLabel* label : Labels(i)) {
      // Old: the name at half strength, blended with the map under it.
      QColor colour = k++ == 0 ? QPalette().color(QPalette::Base) : QColor(Qt::black);
      colour.setAlpha(m.old ? 128 : 255);
      if (label->palette().color(QPalette::WindowText) != colour) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, colour);
        label->setPalette(palette);
      }
      label->setText(text);
      label->adjustSize();
    }
    boxes.push_back({TwipsToPixels(m.placement.labelLeft[0]) - 1, TwipsToPixels(m.placement.labelTop[0]) - 1,
                     lblPoint[i]->width() + 2, lblPoint[i]->height() + 2});
    shown.push_back(i);
  }
  const std::vector<LabelBox> wanted = boxes;
  SpreadLabels(boxes);
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    const int i = shown[b];
    const MarkerPlacement& p = markers[static_cast<std::size_t>(i)].placement;
    const int down = boxes[b].top - wanted[b].top;
    int k = 0;
    for (QLabel* label : Labels(i)) {
      label->move(TwipsToPixels(p.labelLeft[k]), TwipsToPixels(p.labelTop[k]) + down);
      label->show();
      ++k;
    }
  }
}

int MarkerLayer::MarkerAt(QPoint pixel) const {
  // Top-most first: circles lie above the names, higher slots above lower.
  // A circle is small: a few pixels around it count.
  for (int i = 8; i >= 0; --i)
    if (!Shape1[i]->isHidden() && Shape1[i]->geometry().adjusted(-3, -3, 3, 3).contains(pixel)) return i;
  for (int i = 8; i >= 0; --i)
    if (!lblPoint[i]->isHidden() && lblPoint[i]->geometry().contains(pixel)) return i;
  return -1;
}

}  // namespace crewmap::map
