#include "map/jpeg.h"

#include <limits>

namespace crewmap::map {

QImage LoadJpeg(const ByteBuffer& buffer) {
  const std::int64_t length = buffer.Upper() - buffer.Lower + 1;
  if (length <= 0 || length > std::numeric_limits<int>::max()) return {};
  QImage picture;
  if (!picture.loadFromData(buffer.Bytes.data(), static_cast<int>(length))) return {};
  return picture;
}

}  // namespace crewmap::map
