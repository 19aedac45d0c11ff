#pragma once
// The inputs on which our code page 932 conversion must agree with Windows':
// every single byte, every code from 0x8140 to 0xFCFC, invalid and truncated
// sequences; and every UTF-16 code unit outside the surrogates plus a few
// surrogate pairs the other way.
#include <string>
#include <vector>

namespace crewmap::tests {

std::vector<std::string> Cp932ByteInputs();
std::vector<std::u16string> Cp932WideInputs();

}  // namespace crewmap::tests
