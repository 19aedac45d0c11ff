#include "platform/win32/wide_text.h"

#include <windows.h>

#include <climits>

namespace crewmap::platform {

std::wstring MultiByteToWide(unsigned codePage, std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(bytes.size());
  const int outLen = MultiByteToWideChar(codePage, 0, bytes.data(), inLen, nullptr, 0);
  if (outLen <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(outLen), L'\0');
  MultiByteToWideChar(codePage, 0, bytes.data(), inLen, wide.data(), outLen);
  return wide;
}

std::string WideToMultiByte(unsigned codePage, std::wstring_view wide) {
  if (wide.empty() || wide.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int inLen = static_cast<int>(wide.size());
  const int outLen = WideCharToMultiByte(codePage, 0, wide.data(), inLen, nullptr, 0, nullptr, nullptr);
  if (outLen <= 0) return {};
  std::string bytes(static_cast<std::size_t>(outLen), '\0');
  WideCharToMultiByte(codePage, 0, wide.data(), inLen, bytes.data(), outLen, nullptr, nullptr);
  return bytes;
}

std::wstring Utf8ToWide(std::string_view utf8) { return MultiByteToWide(CP_UTF8, utf8); }
std::string WideToUtf8(std::wstring_view wide) { return WideToMultiByte(CP_UTF8, wide); }

}  // namespace crewmap::platform
