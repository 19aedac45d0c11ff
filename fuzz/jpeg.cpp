// The picture loader on mutated pictures, over buffers with any lower index.
//
// Input: a lower index byte, then the file's bytes.
#include <cstdint>

#include "fuzz_support.h"
#include "map/jpeg.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  crewmap::fuzz::InputReader input(data, size);
  crewmap::map::ByteBuffer buffer;
  const std::uint8_t lower = input.Byte();
  // Mostly 0 and 1 (how the pictures are read), sometimes far from both.
  buffer.Lower = lower < 200 ? lower % 2 : static_cast<std::int32_t>(lower) * -8388608;
  const std::string_view bytes = input.Rest();
  buffer.Bytes.assign(bytes.begin(), bytes.end());

  const QImage picture = crewmap::map::LoadJpeg(buffer);
  if (!picture.isNull()) {
    FUZZ_CHECK(picture.width() > 0 && picture.height() > 0);
    (void)picture.pixel(picture.width() - 1, picture.height() - 1);
  }
  FUZZ_CHECK(buffer.Bytes.size() == bytes.size());  // the buffer is left as it was
  return 0;
}
