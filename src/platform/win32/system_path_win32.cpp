// On Windows the narrow form of a path is the system (ANSI) code page.
#include <windows.h>

#include "platform/system_path.h"
#include "platform/win32/wide_text.h"

namespace crewmap::platform {

std::string Utf8ToSystemPath(std::string_view utf8) { return WideToMultiByte(CP_ACP, Utf8ToWide(utf8)); }

std::filesystem::path SystemPathToPath(std::string_view systemPath) {
  return std::filesystem::path(MultiByteToWide(CP_ACP, systemPath));
}

}  // namespace crewmap::platform
