// The private-profile reader over arbitrary file contents, section and key
// names and buffer sizes.
//
// Input: a 32-bit buffer size, a section name and a key name (each a length
// byte, 0..31, and that many bytes), then the file's contents.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "platform/profile_reader.h"

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using crewmap::platform::ReadPrivateProfileString;
  crewmap::fuzz::InputReader input(data, size);
  // Mostly small sizes around the real ones, sometimes anything at all.
  const std::uint32_t raw = input.U32();
  const auto bufferSize = static_cast<std::int32_t>((raw & 0x80000000u) ? raw : raw % 80);
  const std::string_view section = input.Take(input.Byte() % 32);
  const std::string_view key = input.Take(input.Byte() % 32);
  const std::string_view contents = input.Rest();
  const std::string_view fallback = "ERROR";

  const std::string value = ReadPrivateProfileString(contents, section, key, fallback, bufferSize);
  // Never more than the buffer holds, its NUL included.
  FUZZ_CHECK(value.size() <= static_cast<std::size_t>(std::max<std::int64_t>(std::int64_t{bufferSize} - 1, 0)));
  // A value is one line of the file, up to a NUL.
  FUZZ_CHECK(value.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
  // It is the default or comes from the file.
  FUZZ_CHECK(fallback.substr(0, value.size()) == value || contents.find(value) != std::string_view::npos);

  // Names compare without regard to ASCII case.
  FUZZ_CHECK(ReadPrivateProfileString(contents, Upper(section), Lower(key), fallback, bufferSize) == value);

  // A larger buffer gives at least as much.
  if (bufferSize >= 1 && bufferSize < 1 << 20) {
    const std::string wider = ReadPrivateProfileString(contents, section, key, fallback, bufferSize + 1);
    FUZZ_CHECK(wider.size() >= value.size());
  }
  return 0;
}
