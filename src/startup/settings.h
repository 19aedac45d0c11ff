#pragma once
// The settings file: the private-profile reader and the two log settings.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::startup {

// The separator the file system uses, and the marker of a log directory that
// is relative to the program folder (".\" on Windows, "./" elsewhere).
#ifdef _WIN32
inline constexpr char kNativeSeparator = '\\';
inline constexpr std::string_view kRelativeMarker = ".\\";
#else
inline constexpr char kNativeSeparator = '/';
inline constexpr std::string_view kRelativeMarker = "./";
#endif

// The value of `key` in `section` of `file` (or `defaultValue`), at most
// size - 1 bytes, cut at its first NUL, every vertical tab turned into CR LF.
std::string GetIniString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, std::int32_t size,
                         const std::string& file);

// Reads "DIR" and "LIM" of section "LOG" from IniPath into LogDir and
// LogLimit (a relative directory is resolved against ProgramFolder). True
// only when both were set; any problem leaves the rest untouched.
bool LoadLogSettings();

// "LIM" as a number: optional blanks and sign, digits with an optional
// fraction, an optional exponent; converted to 32 bits with halves to even.
// Nothing when it is not a number or lies outside the 32-bit range.
std::optional<std::int32_t> ParseLogLimit(std::string_view text);

// The host's network settings, section "NET" of the settings file.
struct NetSettings {
  std::string echoUrl;     // "ECHOURL": the address-echo page; empty: the program's own
  bool askRouter = true;   // "UPNP": 0 turns the router's port mapping off
  int checkSeconds = 0;    // "RECHECK": seconds between looks at the router and the
                           // address (2..3600); 0: not set, or not a number in range
  std::string key;         // "KEY": the group key, UTF-8 (the file may hold it as
                           // code page 932 or UTF-8); empty: none
};
NetSettings LoadNetSettings(const std::string& iniPath);

// The map's settings, section "MAP" of the settings file.
struct MapSettings {
  // "ARRIVAL": how near (game units, 1..2000) a route's place counts as
  // reached; anything else leaves the default.
  double arrivalDistance = 30;
};
MapSettings LoadMapSettings(const std::string& iniPath);

// The saved places, "places.txt" beside the settings file; empty without one.
std::filesystem::path PlacesPath(const std::string& iniPath);

// True when `directory` exists and can be listed.
bool DirectoryListable(const std::string& directory);

}  // namespace crewmap::startup
