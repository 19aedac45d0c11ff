#include "ui/first_placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMargins>
#include <QPoint>
#include <QScreen>
#include <QWidget>
#include <memory>
#include <optional>

#include "platform/instance_number.h"
#include "platform/window_source.h"
#include "reader/capture.h"
#include "ui/remembered_place.h"
#include "ui/window_placement.h"

namespace crewmap::ui {
namespace {

const char* const kPlacedProperty = "crewmapPlaced";

// How far each further instance's windows open from the first's: about a
// title bar, as Windows cascades windows.
constexpr int kStaggerPixels = 32;
int g_staggerSteps = 0;

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

// Finds the game and fills in where it is, in placement pixels of the
// screen it is on; returns that screen (the primary one without a game).
QScreen* FindGame(platform::WindowSource& source, PlacementRequest& request) {
  const QList<QScreen*> all = QGuiApplication::screens();
  std::vector<QScreen*> screens{QGuiApplication::primaryScreen()};
  for (QScreen* s : all)
    if (s != screens.front()) screens.push_back(s);
  if (!screens.front()) return nullptr;
  const platform::WindowHandle game = source.FindWindowByTitle(reader::kGameTitle);
  platform::WindowRect device{};
  const bool found = game && source.GetWindowRect(game, device);
  if (!found || device.right <= device.left || device.bottom <= device.top) return screens.front();
  // The system gives the game's rectangle in device pixels; windows are
  // placed in each screen's own scale from its own top-left corner.
  std::vector<ScreenScale> scales;
  for (QScreen* s : screens) {
    const QRect g = s->geometry();
    const double ratio = s->devicePixelRatio();
    const QSize size = g.size() * ratio;
    scales.push_back({{g.left(), g.top(), size.width(), size.height()}, ratio});
  }
  const std::size_t on = ScreenOf(device, scales);
  request.game = ToPlacementPixels(device, scales[on]);
  if (scales[on].ratio != 1.0) {
    // A game that knows no display scaling is drawn enlarged by the system:
    // in its own units (which the capture reads in) it is smaller.
    platform::WindowRect own{};
    const platform::DeviceContext dc = source.GetDC(game);
    const bool known = dc != 0 && source.GetWindowRect(game, own) && own.right > own.left;
    if (dc != 0) source.ReleaseDC(game, dc);
    if (known)
      request.gameScale = static_cast<double>(request.game->right - request.game->left) / (own.right - own.left);
  }
  return screens[on];
}

void Place(QWidget& window, platform::WindowSource* source, DesignedPlace designed,
           std::optional<QPoint> fromGame) {
  if (!window.isWindow() || window.property(kPlacedProperty).toBool()) return;
  window.setProperty(kPlacedProperty, true);

  std::unique_ptr<platform::WindowSource> own;
  if (!source) {
    own = platform::CreateSystemWindowSource();
    source = own.get();
  }
  PlacementRequest request;
  QScreen* screen = FindGame(*source, request);
  if (!screen) return;
  request.screen = ToPixelRect(screen->availableGeometry());
  request.stagger = g_staggerSteps * kStaggerPixels;

  const QMargins frame = LikelyFrame(window);
  request.width = window.width() + frame.left() + frame.right();
  request.height = window.height() + frame.top() + frame.bottom();
  if (fromGame) request.designedOverGame = platform::PixelPoint{fromGame->x(), fromGame->y()};
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

}  // namespace

void PlaceOnFirstShow(QWidget& window, platform::WindowSource* source, DesignedPlace designed) {
  Place(window, source, designed, std::nullopt);
}

void PlaceOverGameOnFirstShow(QWidget& window, const QPoint& fromGame, platform::WindowSource* source) {
  Place(window, source, DesignedPlace::Keep, fromGame);
}

void PlaceRememberedOnFirstShow(QWidget& window, const char* name, const QPoint& fromGame,
                                platform::WindowSource* source) {
  const std::optional<platform::PixelPoint> left = RememberedPlace(name);
  if (!left || !window.isWindow() || window.property(kPlacedProperty).toBool()) {
    Place(window, source, DesignedPlace::Keep, fromGame);
    return;
  }
  window.setProperty(kPlacedProperty, true);
  std::vector<platform::PixelRect> screens;
  if (QScreen* primary = QGuiApplication::primaryScreen()) screens.push_back(ToPixelRect(primary->availableGeometry()));
  for (QScreen* s : QGuiApplication::screens())
    if (s != QGuiApplication::primaryScreen()) screens.push_back(ToPixelRect(s->availableGeometry()));
  const QRect frame = window.frameGeometry();
  const platform::PixelPoint at = KeepOnScreens({left->x, left->y, frame.width(), frame.height()}, screens);
  window.move(at.x, at.y);
}

void SetPlacementStagger(int steps) { g_staggerSteps = steps; }

void StaggerByInstanceNumber() {
  constexpr int kNumbers = 16;
  SetPlacementStagger(platform::ClaimInstanceNumber(kNumbers));
}

}  // namespace crewmap::ui
