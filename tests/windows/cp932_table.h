#pragma once
// The reference table of code page 932 as Windows converts it, recorded by
// cp932_table_gen.exe. Lines:
//   M <bytes hex> <UTF-16 hex, 4 digits a unit, "-" for none>   bytes -> text
//   W <UTF-16 hex> <bytes hex>                                  text -> bytes
// A W line is present only when the result is not the default "?" (3F).
#include <map>
#include <optional>
#include <string>

namespace crewmap::tests {

struct Cp932Table {
  std::map<std::string, std::u16string> toWide;   // bytes -> UTF-16
  std::map<std::u16string, std::string> toBytes;  // UTF-16 -> bytes, "?" when absent
  std::string generator;                           // the "# generated" line

  static std::optional<Cp932Table> Load(const std::string& path, std::string& error);
  // What the table says `wide` converts to: its entry, or "?" per character.
  std::string BytesFor(const std::u16string& wide) const;
};

std::string ToHex(const std::string& bytes);
std::string ToHex(const std::u16string& wide);
// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& wide);

}  // namespace crewmap::tests
