// What a member types into the address box: the host and port parsed out of
// it, and what the host shows read back the same way.
//
// Input: the typed text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/address_extract.h"
#include "net/host_port.h"
#include "net/remote_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::net;
  const std::string_view typed(reinterpret_cast<const char*>(data), size);
  const auto parsed = ParseHostPort(typed, 21212);
  if (!parsed) return 0;
  FUZZ_CHECK(parsed->port >= 1 && parsed->port <= 65535);
  FUZZ_CHECK(!parsed->host.empty());
  // The host part is one the connection accepts as it stands.
  const auto again = NormalizeRemoteHost(parsed->host);
  FUZZ_CHECK(again && *again == parsed->host);
  // A host with ':' in it is an IPv6 address, never a name with a port left on.
  if (parsed->host.find(':') != std::string::npos) FUZZ_CHECK(IsBareIpAddress(parsed->host));
  // Written as the host shows it, it parses back to the same.
  const auto back = ParseHostPort(FormatHostPort(parsed->host, parsed->port, 21212), 21212);
  FUZZ_CHECK(back && back->host == parsed->host && back->port == parsed->port);
  return 0;
}
