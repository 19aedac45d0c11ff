#pragma once
// Text typed with a Japanese input method: full-width forms of ASCII
// characters read as the characters themselves. UTF-8 throughout.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crewmap {

// The UTF-8 sequence of a code point of the Basic Multilingual Plane that
// starts at `at`, when there is one (three bytes from U+0800 on).
inline std::optional<char32_t> ThreeByteCodePoint(std::string_view text, std::size_t at) {
  if (at + 2 >= text.size()) return std::nullopt;
  const auto b0 = static_cast<unsigned char>(text[at]);
  const auto b1 = static_cast<unsigned char>(text[at + 1]);
  const auto b2 = static_cast<unsigned char>(text[at + 2]);
  if ((b0 & 0xF0) != 0xE0 || (b1 & 0xC0) != 0x80 || (b2 & 0xC0) != 0x80) return std::nullopt;
  const char32_t code =
      (char32_t{b0} & 0x0F) << 12 | (char32_t{b1} & 0x3F) << 6 | (char32_t{b2} & 0x3F);
  if (code < 0x800) return std::nullopt;  // an overlong form stays as it is
  return code;
}

// The ASCII character a Japanese input method writes in its full-width form:
// U+FF01..U+FF5E (digits, letters, colon, brackets, full stop), the
// ideographic space and the ideographic full stops. 0 for any other.
inline char AsciiOfWideForm(char32_t code) {
  if (code >= 0xFF01 && code <= 0xFF5E) return static_cast<char>(code - 0xFF01 + 0x21);
  if (code == 0x3000) return ' ';
  if (code == 0x3002 || code == 0xFF61) return '.';  // 。 and the half-width ｡
  return 0;
}

// UTF-8 `text` with each full-width form of an ASCII character (U+FF01 to
// U+FF5E), the ideographic space and the ideographic full stops (U+3002,
// U+FF61) replaced by its ASCII character; every other byte as it was.
// With `origins`, also where each folded byte came from in `text`: byte i
// from text[(*origins)[i]], and one last entry, text.size().
inline std::string FoldWideForms(std::string_view text,
                                 std::vector<std::size_t>* origins = nullptr) {
  std::string folded;
  folded.reserve(text.size());
  if (origins) origins->clear();
  for (std::size_t at = 0; at < text.size();) {
    if (origins) origins->push_back(at);
    const std::optional<char32_t> code = ThreeByteCodePoint(text, at);
    if (const char ascii = code ? AsciiOfWideForm(*code) : 0) {
      folded += ascii;
      at += 3;
    } else {
      folded += text[at++];
    }
  }
  if (origins) origins->push_back(text.size());
  return folded;
}

}  // namespace crewmap
