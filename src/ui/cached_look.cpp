#include "ui/cached_look.h"

#include <QDataStream>
#include <QIODevice>

namespace crewmap::ui {
namespace {

QDataStream& Common(QDataStream& out, const QWidget& control, const QStyleOption& option) {
  out << static_cast<quint32>(option.state) << static_cast<qint32>(option.direction) << option.rect
      << option.palette.cacheKey() << control.font().key() << control.devicePixelRatio() << control.isVisible();
  return out;
}

}  // namespace

QByteArray LookKey(const QWidget& control, const QStyleOptionSlider& option) {
  QByteArray key;
  QDataStream out(&key, QIODevice::WriteOnly);
  Common(out, control, option) << option.minimum << option.maximum << option.sliderPosition << option.sliderValue
                               << static_cast<qint32>(option.tickPosition) << option.tickInterval
                               << option.upsideDown << static_cast<qint32>(option.orientation) << option.singleStep
                               << option.pageStep << static_cast<quint32>(option.subControls)
                               << static_cast<quint32>(option.activeSubControls);
  return key;
}

QByteArray LookKey(const QWidget& control, const QStyleOptionButton& option) {
  QByteArray key;
  QDataStream out(&key, QIODevice::WriteOnly);
  Common(out, control, option) << static_cast<quint32>(option.features) << option.text << option.icon.cacheKey()
                               << option.iconSize;
  return key;
}

}  // namespace crewmap::ui
