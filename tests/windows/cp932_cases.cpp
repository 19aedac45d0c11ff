#include "cp932_cases.h"

using namespace std::string_literals;

namespace crewmap::tests {

std::vector<std::string> Cp932ByteInputs() {
  std::vector<std::string> inputs;
  for (int b = 0; b <= 0xFF; ++b) inputs.push_back(std::string(1, static_cast<char>(b)));
  for (int code = 0x8140; code <= 0xFCFC; ++code)
    inputs.push_back({static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)});
  // Invalid and truncated sequences inside longer texts: a lead byte at the
  // end, a lead byte before a byte that cannot trail, lone bytes outside
  // every range, and runs of lead bytes.
  const std::vector<std::string> tricky = {
      "\x41\x81"s,         "\x81\x0A\x41"s,   "\x81\x20"s,         "\x81\x00\x41"s,       "\x41\x81\x81"s,
      "\x81\x81\x81"s,     "\x81\xFD\x41"s,   "\x81\xFF"s,         "\xE0"s,               "\x82\xA0\x82"s,
      "\x80\xA0\xFD\xFE\xFF"s, "\xF0\x40\xF9\xFC"s, "\x88\x9F\x81\x7F\x41"s, "\xEA\xA5\xEA\xA4"s, "\xFC\x4B\xFC\x4C"s,
  };
  inputs.insert(inputs.end(), tricky.begin(), tricky.end());
  return inputs;
}

std::vector<std::u16string> Cp932WideInputs() {
  std::vector<std::u16string> inputs;
  for (int u = 0; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    inputs.push_back(std::u16string(1, static_cast<char16_t>(u)));
  }
  // Characters beyond the BMP and a mixed text.
  inputs.push_back(u"\U0001F600");
  inputs.push_back(u"\U00020B9F");
  inputs.push_back(u"A\U0001F600\u3042");
  return inputs;
}

}  // namespace crewmap::tests
