#include "map/map_files.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <limits>
#include <system_error>

namespace crewmap::map {

namespace {
bool EqualNoCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}
}  // namespace

std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name) {
  std::error_code ec;
  const auto exact = folder / name;
  if (std::filesystem::is_regular_file(exact, ec)) return exact;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  for (const auto& entry : it) {
    // Compared as UTF-8: on Windows a name outside the system code page has
    // no narrow form, and asking for one would throw.
    const std::u8string entryName = entry.path().filename().u8string();
    if (EqualNoCase(std::string(entryName.begin(), entryName.end()), name) && entry.is_regular_file(ec))
      return entry.path();
  }
  return std::nullopt;
}

std::optional<ByteBuffer> ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(0, std::ios::end);
  const std::streamoff length = in.tellg();
  if (length < 0 || length > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  in.seekg(0, std::ios::beg);
  ByteBuffer buffer;
  buffer.Bytes.resize(static_cast<std::size_t>(length));
  if (length > 0 && !in.read(reinterpret_cast<char*>(buffer.Bytes.data()), length)) return std::nullopt;
  return buffer;
}

}  // namespace crewmap::map
