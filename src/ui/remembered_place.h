#pragma once
// Where the player last left a window of ours (the overlay): kept for the
// rest of the run and, in a small text file beside the settings file, for
// later runs; and the rule that brings such a place back onto the screens
// there are then. Plain C++.
//
// The file holds one line per window, "name=left,top" in logical pixels
// (e.g. "navi=603,438"); lines of other names are kept as they are.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window_source.h"

namespace crewmap::ui {

// The place of the window `name` in `text`, if a line gives one.
std::optional<platform::PixelPoint> FindPlace(std::string_view text, std::string_view name);
// `text` with the line of `name` set to `at` (added at the end if missing).
std::string WithPlace(std::string_view text, std::string_view name, platform::PixelPoint at);

// The top-left corner of `window` where it lies wholly on one of `screens`
// (their usable parts): unchanged when it does; else moved as little as it
// takes onto the screen it overlaps most (the first one when it overlaps
// none), its top-left kept on the screen if it is larger.
platform::PixelPoint KeepOnScreens(const platform::PixelRect& window,
                                   const std::vector<platform::PixelRect>& screens);

// Reads the places kept in `file` and keeps later ones there. An empty path
// keeps them for this run only. Forgets what was remembered before.
void SetPlaceFile(const std::filesystem::path& file);
std::optional<platform::PixelPoint> RememberedPlace(std::string_view name);
// Remembers and writes the place at once (a file that cannot be written,
// e.g. in a folder the player may not write to, keeps it for this run).
void RememberPlace(std::string_view name, platform::PixelPoint at);

}  // namespace crewmap::ui
