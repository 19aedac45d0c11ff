#pragma once
// Paths in the form the system's narrow (ANSI) services take them: bytes in
// the system code page on Windows (what GetPrivateProfileStringA expects), the
// UTF-8 bytes themselves elsewhere. ProgramFolder, IniPath and LogDir hold
// paths in this form.
#include <filesystem>
#include <string>
#include <string_view>

namespace crewmap::platform {

// A UTF-8 path in the system's narrow form. On Windows, characters that the
// system code page cannot hold become "?" (such a path is not found).
std::string Utf8ToSystemPath(std::string_view utf8);

// A path in the system's narrow form as a filesystem path (wide on Windows).
std::filesystem::path SystemPathToPath(std::string_view systemPath);

}  // namespace crewmap::platform
