#include "cp932_table.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace crewmap::tests {
namespace {

bool parseHexBytes(const std::string& hex, std::string& out) {
  out.clear();
  if (hex == "-") return true;
  if (hex.size() % 2) return false;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    unsigned v = 0;
    if (std::sscanf(hex.c_str() + i, "%2x", &v) != 1) return false;
    out.push_back(static_cast<char>(v));
  }
  return true;
}

bool parseHexWide(const std::string& hex, std::u16string& out) {
  out.clear();
  if (hex == "-") return true;
  if (hex.size() % 4) return false;
  for (std::size_t i = 0; i < hex.size(); i += 4) {
    unsigned v = 0;
    if (std::sscanf(hex.c_str() + i, "%4x", &v) != 1) return false;
    out.push_back(static_cast<char16_t>(v));
  }
  return true;
}

}  // namespace

std::optional<Cp932Table> Cp932Table::Load(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  Cp932Table table;
  std::string line;
  int lineNo = 0;
  while (std::getline(in, line)) {
    ++lineNo;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#') {
      if (line.rfind("# generated", 0) == 0) table.generator = line;
      continue;
    }
    std::istringstream fields(line);
    std::string kind, from, to;
    fields >> kind >> from >> to;
    bool ok = false;
    if (kind == "M") {
      std::string bytes;
      std::u16string wide;
      ok = parseHexBytes(from, bytes) && parseHexWide(to, wide);
      if (ok) table.toWide[bytes] = wide;
    } else if (kind == "W") {
      std::u16string wide;
      std::string bytes;
      ok = parseHexWide(from, wide) && parseHexBytes(to, bytes);
      if (ok) table.toBytes[wide] = bytes;
    }
    if (!ok) {
      error = path + ":" + std::to_string(lineNo) + ": malformed line";
      return std::nullopt;
    }
  }
  return table;
}

std::string Cp932Table::BytesFor(const std::u16string& wide) const {
  auto it = toBytes.find(wide);
  if (it != toBytes.end()) return it->second;
  // Absent: the default character for each code point.
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] <= 0xDFFF)
      ++i;
    out.push_back('?');
  }
  return out;
}

std::string ToHex(const std::string& bytes) {
  if (bytes.empty()) return "-";
  std::string out;
  char buf[3];
  for (unsigned char c : bytes) {
    std::snprintf(buf, sizeof buf, "%02X", c);
    out += buf;
  }
  return out;
}

std::string ToHex(const std::u16string& wide) {
  if (wide.empty()) return "-";
  std::string out;
  char buf[5];
  for (char16_t c : wide) {
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
    out += buf;
  }
  return out;
}

std::string Utf16ToUtf8(const std::u16string& wide) {
  std::string out;
  for (std::size_t i = 0; i < wide.size(); ++i) {
    char32_t cp = wide[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

}  // namespace crewmap::tests
