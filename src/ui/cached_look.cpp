#include "ui/cached_look.h"

#include <algorithm>
#include <iterator>

namespace crewmap::ui {
namespace {

LookKey Common(const QStyleOption& option) {
  LookKey key;
  key.state = static_cast<quint32>(option.state);
  key.direction = static_cast<int>(option.direction);
  key.rect = option.rect;
  key.palette = option.palette.cacheKey();
  return key;
}

}  // namespace

LookKey KeyOf(const QStyleOptionSlider& option) {
  LookKey key = Common(option);
  const int values[] = {option.minimum,
                        option.maximum,
                        option.sliderPosition,
                        option.sliderValue,
                        static_cast<int>(option.tickPosition),
                        option.tickInterval,
                        option.upsideDown,
                        static_cast<int>(option.orientation),
                        option.singleStep,
                        option.pageStep,
                        static_cast<int>(option.subControls),
                        static_cast<int>(option.activeSubControls)};
  std::copy(std::begin(values), std::end(values), key.values);
  return key;
}

LookKey KeyOf(const QStyleOptionButton& option) {
  LookKey key = Common(option);
  key.text = option.text;
  key.icon = option.icon.cacheKey();
  key.iconSize = option.iconSize;
  key.values[0] = static_cast<int>(option.features);
  return key;
}

}  // namespace crewmap::ui
