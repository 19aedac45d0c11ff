#pragma once
// Text on the wire is always code page 932 (Shift_JIS as Windows defines it),
// on every platform, so that instances on Japanese Windows systems and ours
// understand each other. Inside the program text is UTF-8.
#include <string>
#include <string_view>

namespace crewmap::platform {

// UTF-8 to code page 932 bytes. Characters that code page 932 cannot hold
// become "?" (what Windows' default conversion does).
std::string Utf8ToCp932(std::string_view utf8);

// Code page 932 bytes to UTF-8. Invalid or truncated sequences never fail the
// conversion; they are replaced the way Windows' MultiByteToWideChar does.
std::string Cp932ToUtf8(std::string_view bytes);

}  // namespace crewmap::platform
