#pragma once
// Multibyte <-> UTF-16 through the system's own conversion, for the wide Win32
// entry points (UTF-8) and for code page 932. Flags are always 0: invalid
// input is replaced, never an error; unmappable characters take the code
// page's default character (best-fit mappings on).
#include <string>
#include <string_view>

namespace crewmap::platform {

std::wstring MultiByteToWide(unsigned codePage, std::string_view bytes);
std::string WideToMultiByte(unsigned codePage, std::wstring_view wide);

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace crewmap::platform
