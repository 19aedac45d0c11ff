#pragma once
// The map pictures on disk: their names, finding them without regard to the
// case of the name, and reading a file whole into a byte buffer.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace crewmap::map {

inline constexpr const char* LeftPictureName = "worldmap_c1.jpg";
inline constexpr const char* RightPictureName = "worldmap_c2.jpg";

// A byte array with indices Lower .. Upper(); element i is Bytes[i - Lower].
struct ByteBuffer {
  std::int32_t Lower = 0;
  std::vector<std::uint8_t> Bytes;
  std::int64_t Upper() const { return std::int64_t{Lower} + static_cast<std::int64_t>(Bytes.size()) - 1; }
};

// The file `name` in `folder`: the exact name if it exists, otherwise the
// first entry whose name equals it ignoring ASCII case. Nothing when none.
std::optional<std::filesystem::path> FindFileNoCase(const std::filesystem::path& folder, const std::string& name);

// Reads the whole file into a buffer indexed from 0. Nothing when the file
// cannot be opened or read, or is too large for a 32-bit count.
std::optional<ByteBuffer> ReadWholeFile(const std::filesystem::path& path);

}  // namespace crewmap::map
