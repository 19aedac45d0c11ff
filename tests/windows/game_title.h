#pragma once
// "大航海時代 Online" as UTF-16 code points, independent of the source encoding.
namespace crewmap::tests {
inline constexpr wchar_t kGameTitleWide[] = L"\u5927\u822a\u6d77\u6642\u4ee3 Online";
}
