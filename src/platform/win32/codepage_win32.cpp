// Code page 932 through the system's own conversion tables, which are the
// reference for every other platform's conversion.
#include "platform/codepage.h"
#include "platform/win32/wide_text.h"

namespace crewmap::platform {
namespace {
constexpr unsigned kCodePage932 = 932;
}

// Best-fit mappings on; unmappable characters become "?".
std::string Utf8ToCp932(std::string_view utf8) {
  return WideToMultiByte(kCodePage932, Utf8ToWide(utf8));
}

// Invalid and truncated sequences are replaced, never an error.
std::string Cp932ToUtf8(std::string_view bytes) {
  return WideToUtf8(MultiByteToWide(kCodePage932, bytes));
}

}  // namespace crewmap::platform
