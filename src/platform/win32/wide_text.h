#pragma once
// UTF-8 <-> UTF-16 for the wide Win32 entry points. Conversions are exact:
// invalid UTF-8 becomes U+FFFD, unpaired surrogates become U+FFFD.
#include <string>
#include <string_view>

namespace crewmap::platform {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

}  // namespace crewmap::platform
