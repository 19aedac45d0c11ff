#pragma once
// Program-wide values that live for the whole run. Paths are in the form the
// system's narrow services take (platform/system_path.h): the system code page
// on Windows, UTF-8 elsewhere.
#include <cstdint>
#include <string>

namespace crewmap::startup {

inline std::string ProgramFolder; // the executable's folder, without a trailing separator
inline std::string IniPath;       // <program folder>/<executable name>.ini
inline std::int16_t StartMode = 0;  // 0 = host, 1 = member; set once by the start dialog
inline std::string LogDir;        // resolved log directory, ends in the separator
inline std::int32_t LogLimit = 0;

}  // namespace crewmap::startup
