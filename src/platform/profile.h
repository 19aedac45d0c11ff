#pragma once
// Private-profile (INI) reading with the Windows rules: on Windows the real
// GetPrivateProfileStringA, elsewhere our own reader with the same results.
#include <cstdint>
#include <string>

namespace crewmap::platform {

// Returns the stored value of `key` in `section` of `file`, or `defaultValue`
// when the file, section or key is missing, cut to at most size - 1 bytes.
// All texts are bytes in the system code page (UTF-8 paths on Linux).
std::string GetPrivateProfileStringBytes(const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::int32_t size,
                                         const std::string& file);

}  // namespace crewmap::platform
