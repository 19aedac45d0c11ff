// The caller's address picked out of an address-echo reply, and the test for
// a bare IP address compared with the C library's parser.
//
// Input: the reply.
#include <arpa/inet.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/address_extract.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::net;
  const std::string_view reply(reinterpret_cast<const char*>(data), size);

  const std::string address = ExtractAddress(reply);
  FUZZ_CHECK(reply.find(address) != std::string_view::npos);
  FUZZ_CHECK(address.find_first_of("()") == std::string::npos);
  const auto first = reply.find('(');
  if (first == std::string_view::npos || reply.find('(', first + 1) == std::string_view::npos)
    FUZZ_CHECK(address.empty() || IsBareIpAddress(address));

  // Every address the C library takes is bare; and without an IPv4 part
  // (where the C library refuses leading zeros) the reverse holds too.
  if (reply.find('\0') == std::string_view::npos) {
    const std::string text(reply);
    unsigned char buffer[16];
    const bool library = inet_pton(AF_INET, text.c_str(), buffer) == 1 || inet_pton(AF_INET6, text.c_str(), buffer) == 1;
    const bool ours = IsBareIpAddress(reply);
    if (library) FUZZ_CHECK(ours);
    if (ours && text.find('.') == std::string::npos) FUZZ_CHECK(library);
  }
  return 0;
}
