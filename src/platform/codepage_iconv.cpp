// Code page 932 through glibc's iconv ("CP932" is Microsoft's variant of
// Shift_JIS). Where iconv refuses input, the conversion carries on the way
// Windows' default conversions do instead of failing.
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/codepage.h"

namespace crewmap::platform {
namespace {

// Windows' default character for code page 932 text it cannot decode.
constexpr char kUndecodable[] = "\xE3\x83\xBB";  // U+30FB KATAKANA MIDDLE DOT

class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts as much of `in` as iconv accepts, appending to `out`. Returns
  // the errno that stopped it (0 when everything was converted).
  int Convert(std::string_view& in, std::string& out) {
    char buffer[256];
    while (!in.empty()) {
      char* src = const_cast<char*>(in.data());
      std::size_t srcLeft = in.size();
      char* dst = buffer;
      std::size_t dstLeft = sizeof buffer;
      const std::size_t rc = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      const int error = rc == static_cast<std::size_t>(-1) ? errno : 0;
      out.append(buffer, sizeof buffer - dstLeft);
      in.remove_prefix(in.size() - srcLeft);
      if (error == E2BIG) continue;
      if (error != 0) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        return error;
      }
    }
    return 0;
  }

 private:
  iconv_t cd_;
};

// Length of the UTF-8 sequence starting with `lead`, 1 for a stray byte.
std::size_t Utf8Length(unsigned char lead) {
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  if (lead >= 0xE0) return lead <= 0xEF ? 3 : 1;
  if (lead >= 0xC2) return 2;
  return 1;
}

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

}  // namespace

std::string Utf8ToCp932(std::string_view utf8) {
  Converter converter("CP932", "UTF-8");
  std::string out;
  if (!converter.ok()) {
    // Without the converter only ASCII can be kept.
    for (const char c : utf8) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return out;
  }
  while (!utf8.empty()) {
    if (converter.Convert(utf8, out) == 0) break;
    // A character code page 932 cannot hold (or broken UTF-8): one "?" for it.
    out.push_back('?');
    const std::size_t skip = std::min(Utf8Length(static_cast<unsigned char>(utf8.front())), utf8.size());
    utf8.remove_prefix(skip);
  }
  return out;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  Converter converter("UTF-8", "CP932");
  std::string out;
  if (!converter.ok()) {
    for (const char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) out.push_back(c);
      else out += kUndecodable;
    }
    return out;
  }
  while (!bytes.empty()) {
    if (converter.Convert(bytes, out) == 0) break;
    // A lead byte with a byte from the trail range is one undecodable
    // character; anything else takes a single byte.
    const auto first = static_cast<unsigned char>(bytes.front());
    std::size_t skip = 1;
    if (IsCp932Lead(first) && bytes.size() >= 2 && IsCp932Trail(static_cast<unsigned char>(bytes[1])))
      skip = 2;
    out += kUndecodable;
    bytes.remove_prefix(skip);
  }
  return out;
}

}  // namespace crewmap::platform
