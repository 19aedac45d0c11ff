// The group-key exchange's lines and the text a host passes on: what a
// stranger may send a keyed host, what a host may send a member, and what a
// member pastes into the address box.
//
// Input: one received piece, or the pasted text.
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "net/key_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace crewmap::net;
  const std::string_view piece(reinterpret_cast<const char*>(data), size);
  // A line that parses is exactly the line its parts build again.
  if (const auto nonce = ParseKeyChallenge(piece)) FUZZ_CHECK(BuildKeyChallenge(*nonce) == std::string(piece) + "\r\n");
  if (const auto answer = ParseKeyAnswer(piece))
    FUZZ_CHECK(BuildKeyAnswer(answer->memberNonce, answer->memberProof) == std::string(piece) + "\r\n");
  if (const auto proof = ParseHostProof(piece)) FUZZ_CHECK(BuildHostProof(*proof) == std::string(piece) + "\r\n");

  const ShareParts parts = SplitShareText(piece);
  if (parts.key.empty()) return 0;
  FUZZ_CHECK(parts.key.front() != ' ' && parts.key.back() != ' ' && parts.key.find("  ") == std::string::npos);
  // Passed on again, it reads back with the same key.
  const ShareParts again = SplitShareText(BuildShareText(parts.address, parts.key, 21212));
  FUZZ_CHECK(again.key == parts.key);
  return 0;
}
