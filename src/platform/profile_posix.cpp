// GetPrivateProfileStringBytes outside Windows: read the whole file and apply
// the portable reader, so both platforms follow the same rules.
#include <fstream>
#include <iterator>
#include <sstream>

#include "platform/profile.h"
#include "platform/profile_reader.h"

namespace crewmap::platform {

std::string GetPrivateProfileStringBytes(const std::string& section, const std::string& key,
                                         const std::string& defaultValue, std::int32_t size,
                                         const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return ProfileDefault(defaultValue, size);
  std::ostringstream contents;
  contents << in.rdbuf();
  if (in.bad()) return ProfileDefault(defaultValue, size);
  return ReadPrivateProfileString(contents.str(), section, key, defaultValue, size);
}

}  // namespace crewmap::platform
