// Turning the server's pixel values into colours: by the visual's colour
// masks, or through the colour map on visuals without them, for single
// pixels and for whole image rows.
#include <X11/Xlib.h>

#include <cstdint>
#include <cstring>
#include <unordered_map>

#include "platform/x11/x11_source_private.h"
#include "platform/x11/x11_window_source.h"

namespace crewmap::platform {
namespace {

// One colour component from a pixel by its visual mask, scaled to 8 bits.
std::uint32_t Component(unsigned long pixel, unsigned long mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (!((mask >> shift) & 1u)) ++shift;
  int bits = 0;
  while ((mask >> (shift + bits)) & 1u) ++bits;
  const unsigned long value = (pixel & mask) >> shift;
  if (bits >= 8) return static_cast<std::uint32_t>(value >> (bits - 8));
  const unsigned long max = (1ul << bits) - 1;
  return static_cast<std::uint32_t>((value * 255 + max / 2) / max);
}

// The shift of an 8-bit colour mask (0xFF << shift), or -1 for any other mask.
int ByteShift(unsigned long mask) {
  for (int shift = 0; shift + 8 <= static_cast<int>(8 * sizeof mask); ++shift)
    if (mask == 0xFFul << shift) return shift;
  return -1;
}

}  // namespace

std::uint32_t X11WindowSource::ToColorRef(const Context& context, unsigned long pixel) {
  if (context.redMask || context.greenMask || context.blueMask) {
    return Component(pixel, context.redMask) | Component(pixel, context.greenMask) << 8 |
           Component(pixel, context.blueMask) << 16;
  }
  // Indexed visuals: ask the colour map.
  XColor color{};
  color.pixel = pixel;
  if (!XQueryColor(Dpy(display_), context.colormap, &color)) return kInvalidColor;
  return static_cast<std::uint32_t>(color.red >> 8) | static_cast<std::uint32_t>(color.green >> 8) << 8 |
         static_cast<std::uint32_t>(color.blue >> 8) << 16;
}

bool X11WindowSource::Decode(const Context& context, const PixelRect& part, const std::uint8_t* data,
                             std::size_t stride, int bitsPerPixel, PixelBlock& block) {
  if (bitsPerPixel % 8 != 0 || bitsPerPixel < 8 || bitsPerPixel > 32) return false;
  const int bytes = bitsPerPixel / 8;
  // Converting costs a round trip per colour only on visuals without colour
  // masks; the few colours of the read-out repeat. The common 8-bit-per-
  // component visuals are converted by shifts alone: a whole client area
  // is copied when the read-out is searched for.
  std::unordered_map<unsigned long, std::uint32_t> converted;
  const int red = ByteShift(context.redMask), green = ByteShift(context.greenMask),
            blue = ByteShift(context.blueMask);
  const bool byShifts = red >= 0 && green >= 0 && blue >= 0;
  // The usual 32-bit little-endian 0x00RRGGBB: only red and blue swap.
  const bool swapOnly = byShifts && bytes == 4 && lsbFirst_ && red == 16 && green == 8 && blue == 0;
  const PixelRect& whole = block.Rect();
  for (std::int32_t y = 0; y < part.height; ++y) {
    const std::uint8_t* src = data + static_cast<std::size_t>(y) * stride;
    std::uint32_t* dst = block.Row(part.top - whole.top + y) + (part.left - whole.left);
    if (swapOnly) {
      for (std::int32_t x = 0; x < part.width; ++x) {
        std::uint32_t p;
        std::memcpy(&p, src + 4 * static_cast<std::size_t>(x), 4);
        dst[x] = (p >> 16 & 0xFFu) | (p & 0xFF00u) | (p & 0xFFu) << 16;
      }
      continue;
    }
    for (std::int32_t x = 0; x < part.width; ++x, src += bytes) {
      unsigned long pixel = 0;
      for (int b = 0; b < bytes; ++b)
        pixel |= static_cast<unsigned long>(src[lsbFirst_ ? b : bytes - 1 - b]) << (8 * b);
      if (byShifts) {
        dst[x] = static_cast<std::uint32_t>((pixel >> red & 0xFFu) | (pixel >> green & 0xFFu) << 8 |
                                            (pixel >> blue & 0xFFu) << 16);
        continue;
      }
      const auto known = converted.find(pixel);
      dst[x] = known != converted.end() ? known->second : (converted[pixel] = ToColorRef(context, pixel));
    }
  }
  return true;
}

}  // namespace crewmap::platform
