#include "map/markers.h"

#include <QCheckBox>

#include "common/rounding.h"
#include "common/twips.h"
#include "map/frm_map.h"
#include "map/map_area.h"
#include "map/position_text.h"
#include "map/transform.h"
#include "navi/frm_navi.h"

namespace crewmap::map {

void UpdateMapMarkers(const net::SlotTable& Slots, std::int16_t MySlot, std::int64_t nowMs) {
  frmMap* map = frmMap::Loaded();
  if (!map) return;
  map->NoteSlots(Slots, MySlot, nowMs);
  // The overlay over the game keeps pointing while the map is hidden
  // ("閉じる"): a frozen dot and ring would show an old heading as live.
  const bool mapShown = map->isVisible();
  const navi::frmNavi* navi = navi::frmNavi::Loaded();
  if (!mapShown && !(navi && navi->isVisible())) return;
  const HoseiValue z = map->Hosei();

  // An own slot outside the table counts as having no position.
  std::optional<GamePosition> own;
  if (MySlot >= 0 && static_cast<std::size_t>(MySlot) < Slots.size())
    own = ParsePosition(Slots[static_cast<std::size_t>(MySlot)].Point);

  if (own && mapShown && map->Check1->isChecked()) {
    const double pw = PixelsToTwips(map->Picture1->width());
    const double ph = PixelsToTwips(map->Picture1->height());
    std::int32_t vx = CentreViewX(own->x, pw, z);
    std::int32_t vy = CentreViewY(own->y, ph, z);
    map->MovePoint(vx, vy);
  }

  if (mapShown) map->ShowMarkers();

  if (!own) {
    map->OwnPositionUnknown();
    return;
  }
  // ParsePosition guarantees both round into 32 bits.
  std::int32_t x = RoundToInt32(own->x).value_or(0);
  std::int32_t y = RoundToInt32(own->y).value_or(0);
  map->AngleShow(x, y);
}

}  // namespace crewmap::map
