#pragma once
// A pixel canvas for reader tests: a background colour with glyphs of the
// game's read-out painted on it the way the game draws them (white body,
// one-pixel black outline). The glyph rows are this test's own copy of the
// font, taken from a capture of the game; the recognizer does not share them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crewmap::reader::test {

inline constexpr std::uint32_t kSea = 0x00A0703Cu;  // 0x00BBGGRR, a mid blue

class ReadoutCanvas {
 public:
  ReadoutCanvas(int width, int height, std::uint32_t background = kSea);

  int Width() const { return width_; }
  int Height() const { return height_; }
  // 0x00BBGGRR, or 0xFFFFFFFF outside the canvas.
  std::uint32_t At(std::int64_t x, std::int64_t y) const;
  void Set(int x, int y, std::uint32_t color);
  // Paints `text` with cell k at (x + 6k, y); characters without a glyph stay
  // background. Outlines are drawn before any body, as the game does.
  void DrawReadout(std::string_view text, int x, int y);

 private:
  int width_;
  int height_;
  std::vector<std::uint32_t> pixels_;
};

// True when this copy of the font has the character ("0".."9", ",").
bool CanvasHasGlyph(char c);

}  // namespace crewmap::reader::test
