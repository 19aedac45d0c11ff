#pragma once
// The private-profile (INI) rules of Windows' GetPrivateProfileStringA, applied
// to a file's contents already in memory. Built on every platform so that it
// can be compared against the real call on Windows.
#include <cstdint>
#include <string>
#include <string_view>

namespace crewmap::platform {

// The value of `key` in `section` of an INI text, or `defaultValue` (trailing
// blanks removed) when the section or key is missing; in both cases cut to at
// most size - 1 bytes (nothing at all when size < 1).
//  - section and key names compare case-insensitively (ASCII), blanks around
//    them ignored; the first matching section is searched, the first matching
//    key in it wins;
//  - white space (including vertical tabs) around values is removed, then one
//    pair of enclosing matching quotes ('...' or "...");
//  - lines end in LF, CR LF or CR; ';' starts no comment (";k=v" is key ";k");
//    a line without '=' is a key without a value (it gives the default and
//    hides later lines of that key); a '[' line without ']' is no header;
//    a NUL byte ends a value, not the file.
std::string ReadPrivateProfileString(std::string_view fileContents, std::string_view section,
                                     std::string_view key, std::string_view defaultValue,
                                     std::int32_t size);

// The default value as Windows hands it back: trailing blanks removed, cut to
// size - 1 bytes. Used when the file itself cannot be read.
std::string ProfileDefault(std::string_view defaultValue, std::int32_t size);

}  // namespace crewmap::platform
