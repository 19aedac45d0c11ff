// Code page 932 both ways over arbitrary bytes.
//
// Input: the bytes, read once as code page 932 and once as UTF-8.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/codepage.h"

namespace {

// Strict UTF-8: shortest forms only, no surrogates, nothing above U+10FFFF.
// Counts the characters of valid text; -1 for invalid text.
long CountUtf8(std::string_view text) {
  long count = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (b < 0x80) length = 1;
    else if (b >= 0xC2 && b <= 0xDF) length = 2;
    else if (b == 0xE0) length = 3, low = 0xA0;
    else if (b == 0xED) length = 3, high = 0x9F;
    else if (b >= 0xE1 && b <= 0xEF) length = 3;
    else if (b == 0xF0) length = 4, low = 0x90;
    else if (b == 0xF4) length = 4, high = 0x8F;
    else if (b >= 0xF1 && b <= 0xF3) length = 4;
    else return -1;
    if (i + length > text.size()) return -1;
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if (k == 1 ? (c < low || c > high) : (c & 0xC0) != 0x80) return -1;
    }
    i += length;
    ++count;
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crewmap::platform::Cp932ToUtf8;
  using crewmap::platform::Utf8ToCp932;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  // Bytes to text: always valid UTF-8, one character per byte at most.
  const std::string text = Cp932ToUtf8(bytes);
  const long characters = CountUtf8(text);
  FUZZ_CHECK(characters >= 0);
  FUZZ_CHECK(static_cast<std::size_t>(characters) <= bytes.size());
  // Every character decoded goes back to code page 932 and decodes the same:
  // valid double-byte codes round-trip (codes with a duplicate elsewhere in
  // the table come back as the one Windows prefers, which decodes the same).
  FUZZ_CHECK(Cp932ToUtf8(Utf8ToCp932(text)) == text);

  // Text to bytes: malformed UTF-8 (overlong forms, surrogates, stray and
  // truncated sequences) never passes as a character; it leaves a "?".
  const std::string encoded = Utf8ToCp932(bytes);
  if (CountUtf8(bytes) < 0 && bytes.find('?') == std::string_view::npos)
    FUZZ_CHECK(encoded.find('?') != std::string::npos);
  // No more than two bytes per input byte, and what comes out decodes.
  FUZZ_CHECK(encoded.size() <= 2 * bytes.size());
  FUZZ_CHECK(CountUtf8(Cp932ToUtf8(encoded)) >= 0);
  return 0;
}
