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

// ---- Windows fix-ups over iconv ----
// Where glibc's CP932 and Windows' conversion (MultiByteToWideChar /
// WideCharToMultiByte, flags 0) differ, Windows decides; the differences were
// found by comparing both over every code (tests/windows).

// Text to bytes: Windows' best-fit mappings that iconv refuses (accented
// letters to their base letter...), and the characters iconv maps but Windows
// turns into "?" (it keeps U+2014, U+2016, U+203E, U+2212, U+301C out of 932).
struct WideOverride {
  char32_t code;
  const char* bytes;
};
constexpr WideOverride kWindowsTextToBytes[] = {
    {0x0080, "\x80"}, {0x00A1, "\x21"}, {0x00A6, "\x7C"}, {0x00A9, "\x63"}, {0x00AA, "\x61"},
    {0x00AB, "\x81\xE1"}, {0x00AD, "\x2D"}, {0x00AE, "\x52"}, {0x00AF, "\x81\x50"}, {0x00B2, "\x32"},
    {0x00B3, "\x33"}, {0x00B5, "\x83\xCA"}, {0x00B7, "\x81\x45"}, {0x00B8, "\x81\x43"}, {0x00B9, "\x31"},
    {0x00BA, "\x6F"}, {0x00BB, "\x81\xE2"}, {0x00C0, "\x41"}, {0x00C1, "\x41"}, {0x00C2, "\x41"},
    {0x00C3, "\x41"}, {0x00C4, "\x41"}, {0x00C5, "\x41"}, {0x00C6, "\x41"}, {0x00C7, "\x43"},
    {0x00C8, "\x45"}, {0x00C9, "\x45"}, {0x00CA, "\x45"}, {0x00CB, "\x45"}, {0x00CC, "\x49"},
    {0x00CD, "\x49"}, {0x00CE, "\x49"}, {0x00CF, "\x49"}, {0x00D0, "\x44"}, {0x00D1, "\x4E"},
    {0x00D2, "\x4F"}, {0x00D3, "\x4F"}, {0x00D4, "\x4F"}, {0x00D5, "\x4F"}, {0x00D6, "\x4F"},
    {0x00D8, "\x4F"}, {0x00D9, "\x55"}, {0x00DA, "\x55"}, {0x00DB, "\x55"}, {0x00DC, "\x55"},
    {0x00DD, "\x59"}, {0x00DE, "\x54"}, {0x00DF, "\x73"}, {0x00E0, "\x61"}, {0x00E1, "\x61"},
    {0x00E2, "\x61"}, {0x00E3, "\x61"}, {0x00E4, "\x61"}, {0x00E5, "\x61"}, {0x00E6, "\x61"},
    {0x00E7, "\x63"}, {0x00E8, "\x65"}, {0x00E9, "\x65"}, {0x00EA, "\x65"}, {0x00EB, "\x65"},
    {0x00EC, "\x69"}, {0x00ED, "\x69"}, {0x00EE, "\x69"}, {0x00EF, "\x69"}, {0x00F0, "\x64"},
    {0x00F1, "\x6E"}, {0x00F2, "\x6F"}, {0x00F3, "\x6F"}, {0x00F4, "\x6F"}, {0x00F5, "\x6F"},
    {0x00F6, "\x6F"}, {0x00F8, "\x6F"}, {0x00F9, "\x75"}, {0x00FA, "\x75"}, {0x00FB, "\x75"},
    {0x00FC, "\x75"}, {0x00FD, "\x79"}, {0x00FE, "\x74"}, {0x00FF, "\x79"}, {0x2014, "\x3F"},
    {0x2016, "\x3F"}, {0x203E, "\x3F"}, {0x2212, "\x3F"}, {0x301C, "\x3F"}, {0x3094, "\x83\x94"},
    {0xF8F0, "\xA0"}, {0xF8F1, "\xFD"}, {0xF8F2, "\xFE"}, {0xF8F3, "\xFF"},
};

const char* WindowsBytesFor(char32_t code) {
  for (const WideOverride& o : kWindowsTextToBytes)
    if (o.code == code) return o.bytes;
  return nullptr;
}

// Bytes to text: single bytes iconv refuses but Windows maps.
const char* WindowsTextForByte(unsigned char b) {
  switch (b) {
    case 0x80: return "\xC2\x80";      // U+0080
    case 0xA0: return "\xEF\xA3\xB0";  // U+F8F0
    case 0xFD: return "\xEF\xA3\xB1";  // U+F8F1
    case 0xFE: return "\xEF\xA3\xB2";  // U+F8F2
    case 0xFF: return "\xEF\xA3\xB3";  // U+F8F3
    default: return nullptr;
  }
}

// The code point of the UTF-8 sequence at the start of `text` and its length;
// -1 for a broken sequence (then `length` bytes make one unconvertible unit).
long DecodeUtf8(std::string_view text, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text.front());
  length = std::min(Utf8Length(lead), text.size());
  if (length == 1) return lead < 0x80 ? lead : -1;
  static constexpr unsigned char kLeadMask[] = {0, 0, 0x1F, 0x0F, 0x07};
  long code = lead & kLeadMask[length];
  for (std::size_t i = 1; i < length; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      length = i;
      return -1;
    }
    code = (code << 6) | (c & 0x3F);
  }
  if (Utf8Length(lead) != length) return -1;  // cut short by the end of the text
  // Overlong forms, UTF-16 surrogates and codes past U+10FFFF are no
  // characters: the whole sequence becomes one unconvertible unit.
  static constexpr long kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kShortest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return -1;
  return code;
}

}  // namespace

std::string Utf8ToCp932(std::string_view utf8) {
  Converter converter("CP932", "UTF-8");
  std::string out;
  if (!converter.ok()) {
    // Without the converter only ASCII can be kept.
    for (const char c : utf8) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
    return out;
  }
  // Runs of characters iconv and Windows agree on go to iconv whole; the
  // fix-ups are applied character by character in between.
  auto convertRun = [&](std::string_view run) {
    while (!run.empty()) {
      if (converter.Convert(run, out) == 0) break;
      // A character code page 932 cannot hold: one "?" for it.
      out.push_back('?');
      run.remove_prefix(std::min(Utf8Length(static_cast<unsigned char>(run.front())), run.size()));
    }
  };
  std::size_t runStart = 0;
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    std::size_t length = 1;
    const long code = DecodeUtf8(utf8.substr(pos), length);
    const char* fixed = code >= 0 ? WindowsBytesFor(static_cast<char32_t>(code)) : nullptr;
    if (code >= 0 && !fixed && code < 0x10000) {
      pos += length;
      continue;
    }
    convertRun(utf8.substr(runStart, pos - runStart));
    if (fixed) {
      out += fixed;
    } else if (code >= 0x10000) {
      out += "??";  // Windows converts each half of the UTF-16 surrogate pair
    } else {
      out.push_back('?');  // broken UTF-8
    }
    pos += length;
    runStart = pos;
  }
  convertRun(utf8.substr(runStart));
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
    // As Windows: a lead byte takes the next byte with it, whatever it is
    // (except NUL), into one undecodable character; a lead byte at the end
    // or before NUL is undecodable alone; a few single bytes have their own
    // characters.
    const auto first = static_cast<unsigned char>(bytes.front());
    std::size_t skip = 1;
    if (const char* single = WindowsTextForByte(first)) {
      out += single;
    } else {
      if (IsCp932Lead(first) && bytes.size() >= 2 && bytes[1] != '\0') skip = 2;
      out += kUndecodable;
    }
    bytes.remove_prefix(skip);
  }
  return out;
}

}  // namespace crewmap::platform
