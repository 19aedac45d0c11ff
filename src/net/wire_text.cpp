#include "net/wire_text.h"

#include "platform/codepage.h"

namespace crewmap::net {

std::string EncodeWireText(std::string_view utf8) { return platform::Utf8ToCp932(utf8); }

std::string DecodeWireText(std::string_view bytes) { return platform::Cp932ToUtf8(bytes); }

}  // namespace crewmap::net
