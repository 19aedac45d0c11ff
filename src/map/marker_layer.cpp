#include "map/marker_layer.h"

#include <QEvent>
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

// Over the map area and the window's controls: the marks whose place is
// the world's. Transparent, takes no mouse input (clicks reach the map or
// the control beneath), and keeps the area's geometry.
class MarksLayer : public QWidget {
 public:
  explicit MarksLayer(QWidget* area) : QWidget(area->parentWidget()), area_(area) {
    setObjectName(QStringLiteral("MarksOver"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(area->geometry());
    area->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == area_ && (event->type() == QEvent::Resize || event->type() == QEvent::Move))
      setGeometry(area_->geometry());
    return false;
  }

 private:
  QWidget* area_;
};

LabelBox BoxOf(const QRect& r) { return {r.left(), r.top(), r.width(), r.height()}; }

}  // namespace

void MarkerLayer::MakeMarkers(QWidget* area) {
  area_ = area;
  // Bottom to top: the name labels (each light label above its four black
  // copies) in the area; the circles above them and above the controls.
  const QColor light = QPalette().color(QPalette::Base);
  for (int i = 0; i < 9; ++i) {
    lblPoint2[i] = MakeNameLabel(area, QStringLiteral("lblPoint2"), i, Qt::black);
    lblPoint3[i] = MakeNameLabel(area, QStringLiteral("lblPoint3"), i, Qt::black);
    lblPoint4[i] = MakeNameLabel(area, QStringLiteral("lblPoint4"), i, Qt::black);
    lblPoint5[i] = MakeNameLabel(area, QStringLiteral("lblPoint5"), i, Qt::black);
    lblPoint[i] = MakeNameLabel(area, QStringLiteral("lblPoint"), i, light);
  }
  over_ = area->parentWidget() ? new MarksLayer(area) : area;
  for (int i = 0; i < 9; ++i) {
    Shape1[i] = new CircleShape(over_, Rgb(kSlotColours[i].fill), Rgb(kSlotColours[i].border));
    Shape1[i]->setObjectName(QStringLiteral("Shape1_%1").arg(i));
    Shape1[i]->hide();
  }
}

void MarkerLayer::RaiseMarks() {
  if (over_ != area_) over_->raise();
}

bool MarkerLayer::IsMarker(const QWidget* widget) const {
  for (int i = 0; i < 9; ++i) {
    if (widget == Shape1[i]) return true;
    for (const QLabel* label : Labels(i))
      if (widget == label) return true;
  }
  return false;
}

MapObstacles MarkerLayer::Obstacles() const {
  MapObstacles around;
  around.area = {0, 0, area_->width(), area_->height()};
  for (const CircleShape* circle : Shape1)
    if (!circle->isHidden()) around.circles.push_back(BoxOf(circle->geometry()));
  // The window's own controls lie over the area: its other children.
  if (const QWidget* window = area_->parentWidget())
    for (const QWidget* control : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (control != area_ && control != over_ && !control->isHidden() && !control->isWindow())
        around.controls.push_back(BoxOf(control->geometry().translated(-area_->pos())));
  return around;
}

void MarkerLayer::PlaceMarkers(const std::array<MarkerShow, 9>& markers) {
  // The circles first, then the names, to learn their sizes; each name then
  // goes beside its circle where it is clear.
  std::vector<LabelBox> boxes;
  std::vector<LabelBox> circles;
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
    circles.push_back(BoxOf(Shape1[i]->geometry()));
    shown.push_back(i);
  }
  const std::vector<LabelBox> wanted = boxes;
  MapObstacles around = Obstacles();
  around.circles = circles;
  PlaceNames(boxes, around);
  for (std::size_t b = 0; b < boxes.size(); ++b) {
    const int i = shown[b];
    const MarkerPlacement& p = markers[static_cast<std::size_t>(i)].placement;
    const QPoint shift(boxes[b].left - wanted[b].left, boxes[b].top - wanted[b].top);
    int k = 0;
    for (QLabel* label : Labels(i)) {
      label->move(QPoint(TwipsToPixels(p.labelLeft[k]), TwipsToPixels(p.labelTop[k])) + shift);
      label->show();
      ++k;
    }
  }
  names_ = std::move(boxes);
}

QPoint MarkerLayer::PlaceCaption(const QWidget& caption, const QWidget& anchor) const {
  // Besides the names, whatever else shows over the map (the meeting flag,
  // the following caption) is kept clear of.
  std::vector<LabelBox> taken = names_;
  for (const QWidget* layer : {area_, over_})
    for (const QWidget* w : layer->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      if (w != &caption && w != &anchor && w != over_ && !w->isHidden() && !IsMarker(w))
        taken.push_back(BoxOf(w->geometry()));
  const LabelBox at =
      PlaceBeside(BoxOf(anchor.geometry()), caption.width(), caption.height(), taken, Obstacles());
  return {at.left, at.top};
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
