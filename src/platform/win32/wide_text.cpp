#include "platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

namespace crewmap::platform {

std::wstring Utf8ToWide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(utf8.size());
  const int outLen = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, nullptr, 0);
  if (outLen <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), inLen, wide.data(), outLen);
  return wide;
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(wide.size());
  const int outLen = WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
  if (outLen <= 0) return {};
  std::string utf8(static_cast<std::size_t>(outLen), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), inLen, utf8.data(), outLen, nullptr, nullptr);
  return utf8;
}

}  // namespace crewmap::platform
