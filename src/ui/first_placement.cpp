#include "ui/first_placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QScreen>
#include <QWidget>
#include <cmath>
#include <memory>

#include "platform/window_source.h"
#include "reader/capture.h"
#include "ui/window_placement.h"

namespace crewmap::ui {
namespace {

const char* const kPlacedProperty = "crewmapPlaced";

// The frame a window manager is likely to draw around a window that has not
// been shown yet (its real frame is known only afterwards): borders and a
// title bar as on Windows at 100 %. Too much only moves the window a little
// further from the read-out.
QMargins LikelyFrame(const QWidget& window) {
  if (window.windowFlags() & Qt::FramelessWindowHint) return {};
  const QRect frame = window.frameGeometry();
  const QRect client = window.geometry();
  if (frame != client)
    return {client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
            frame.bottom() - client.bottom()};
  return {8, 31, 8, 8};
}

platform::PixelRect ToPixelRect(const QRect& r) { return {r.left(), r.top(), r.width(), r.height()}; }

}  // namespace

void PlaceOnFirstShow(QWidget& window, platform::WindowSource* source, DesignedPlace designed) {
  if (!window.isWindow() || window.property(kPlacedProperty).toBool()) return;
  window.setProperty(kPlacedProperty, true);

  std::unique_ptr<platform::WindowSource> own;
  if (!source) {
    own = platform::CreateSystemWindowSource();
    source = own.get();
  }
  PlacementRequest request;
  // The game's rectangle comes in device pixels; Qt places windows in its
  // own (device-independent) pixels, which differ when the display scales.
  QScreen* screen = QGuiApplication::primaryScreen();
  if (const platform::WindowHandle game = source->FindWindowByTitle(reader::kGameTitle)) {
    platform::WindowRect rect{};
    if (source->GetWindowRect(game, rect) && rect.right > rect.left && rect.bottom > rect.top) {
      const double ratio = screen ? screen->devicePixelRatio() : 1.0;
      const auto scaled = [ratio](std::int32_t v, bool up) {
        const double s = v / ratio;
        return static_cast<std::int32_t>(up ? std::ceil(s) : std::floor(s));
      };
      request.game = platform::WindowRect{scaled(rect.left, false), scaled(rect.top, false),
                                          scaled(rect.right, true), scaled(rect.bottom, true)};
      const QPoint centre((request.game->left + request.game->right) / 2,
                          (request.game->top + request.game->bottom) / 2);
      if (QScreen* at = QGuiApplication::screenAt(centre)) screen = at;
    }
  }
  if (!screen) return;
  request.screen = ToPixelRect(screen->availableGeometry());

  const QMargins frame = LikelyFrame(window);
  request.width = window.width() + frame.left() + frame.right();
  request.height = window.height() + frame.top() + frame.bottom();
  if (designed == DesignedPlace::Keep) {
    const QPoint at = window.pos();
    request.designed = platform::PixelRect{at.x(), at.y(), request.width, request.height};
  } else {
    for (QWidget* other : QApplication::topLevelWidgets())
      if (other != &window && other->isVisible() && !(other->windowFlags() & Qt::FramelessWindowHint))
        request.occupied.push_back(ToPixelRect(other->frameGeometry()));
  }
  const platform::PixelPoint place = PlaceWindow(request);
  window.move(place.x, place.y);
}

}  // namespace crewmap::ui
