// Code page 932 through the system's own conversion tables, which are the
// reference for every other platform's conversion.
#include <windows.h>

#include <climits>

#include "platform/codepage.h"
#include "platform/win32/wide_text.h"

namespace crewmap::platform {
namespace {
constexpr UINT kCodePage932 = 932;
}

std::string Utf8ToCp932(std::string_view utf8) {
  const std::wstring wide = Utf8ToWide(utf8);
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(wide.size());
  // Flags 0: best-fit mappings on, unmappable characters become the code
  // page's default character "?".
  const int outLen = WideCharToMultiByte(kCodePage932, 0, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
  if (outLen <= 0) return {};
  std::string bytes(static_cast<std::size_t>(outLen), '\0');
  WideCharToMultiByte(kCodePage932, 0, wide.data(), inLen, bytes.data(), outLen, nullptr, nullptr);
  return bytes;
}

std::string Cp932ToUtf8(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(bytes.size());
  // Flags 0: invalid and truncated sequences are replaced, never an error.
  const int outLen = MultiByteToWideChar(kCodePage932, 0, bytes.data(), inLen, nullptr, 0);
  if (outLen <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  MultiByteToWideChar(kCodePage932, 0, bytes.data(), inLen, wide.data(), outLen);
  return WideToUtf8(wide);
}

}  // namespace crewmap::platform
