// Elsewhere than Windows the system's narrow form of a path is UTF-8.
#include "platform/system_path.h"

namespace crewmap::platform {

std::string Utf8ToSystemPath(std::string_view utf8) { return std::string(utf8); }

std::filesystem::path SystemPathToPath(std::string_view systemPath) {
  return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(systemPath.data()), systemPath.size()));
}

}  // namespace crewmap::platform
