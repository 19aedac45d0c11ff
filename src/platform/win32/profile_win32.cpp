// Private-profile reading through the system's own ANSI service.
#include <windows.h>

#include <vector>

#include "platform/profile.h"

namespace crewmap::platform {

std::string GetPrivateProfileStringBytes(const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::int32_t size,
                                         const std::string& file) {
  // A capacity below one byte holds not even the terminating NUL: nothing is
  // asked for and nothing is returned.
  if (size <= 0) return {};
  // One byte more than asked for, so a misbehaving service cannot write past
  // the end; the value is taken up to its first NUL.
  std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '\0');
  GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                           static_cast<DWORD>(size), file.c_str());
  return std::string(buffer.data());
}

}  // namespace crewmap::platform
