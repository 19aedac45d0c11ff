#pragma once
// Texts travel as code page 932 bytes on every platform; inside the program
// they are UTF-8. These convert at the two edges.
#include <string>
#include <string_view>

namespace crewmap::net {

// UTF-8 (e.g. the nickname box) to the bytes that go on the wire.
std::string EncodeWireText(std::string_view utf8);
// Received bytes to UTF-8 for showing; never fails.
std::string DecodeWireText(std::string_view bytes);

}  // namespace crewmap::net
