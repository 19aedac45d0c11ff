#pragma once
// The lines of the group-key exchange, and the one text a host passes on in
// game chat (address, port and key together).
//
// A keyed host speaks first, and every line it sends before a member has
// proved the key is a notice line (seven asterisks), which members of every
// version show in their log: a member without the key sees one readable
// line, "このグループには合言葉が必要です", with the host's nonce behind it.
//   host -> member   *******このグループには合言葉が必要です #k1 <host nonce, 32 hex>
//   member -> host   #k1 <member nonce, 32 hex> <member proof, 64 hex><TAB>
//   host -> member   *******合言葉を確かめました #k1 <host proof, 64 hex>
//   host -> member   client#N ... as on an open host
// The member answers only that notice, so a host without the key never gets
// the answer; should one get it anyway, the TAB makes it read as a report
// with an empty position, a form every host handles.
//
// Texts are UTF-8 here; Build* give and Parse* take the bytes on the wire
// (code page 932), without and with CR LF as noted.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::net {

inline constexpr std::size_t kNonceBytes = 16;
inline constexpr std::size_t kProofBytes = 32;

// What a keyed host tells a peer it lets go (UTF-8).
inline constexpr std::string_view kKeyNeededNotice = "*******このグループには合言葉が必要です";
inline constexpr std::string_view kWrongKeyNotice = "*******合言葉が違います";
inline constexpr std::string_view kTooManyTriesNotice =
    "*******合言葉の試行が多すぎます。しばらくしてから接続してください";

// Raw bytes in, lowercase hex out; and back (nothing unless exactly
// `bytes` bytes of lowercase hex).
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex, std::size_t bytes);

// Each with CR LF.
std::string BuildKeyChallenge(std::string_view hostNonce);
std::string BuildKeyAnswer(std::string_view memberNonce, std::string_view memberProof);
std::string BuildHostProof(std::string_view hostProof);
// A notice above (UTF-8) as a wire line with CR LF.
std::string BuildKeyNotice(std::string_view utf8Notice);

// A received piece (without CR LF) read as one of the lines above; the
// nonces and proofs come back as raw bytes.
std::optional<std::string> ParseKeyChallenge(std::string_view piece);
struct KeyAnswer {
  std::string memberNonce;
  std::string memberProof;
};
std::optional<KeyAnswer> ParseKeyAnswer(std::string_view piece);
std::optional<std::string> ParseHostProof(std::string_view piece);
// Whether `piece` is the notice `utf8Notice` (exactly).
bool IsKeyNotice(std::string_view piece, std::string_view utf8Notice);

// ---------------------------------------------------------------- the text to pass on

// The word between address and key in the text passed on.
inline constexpr std::string_view kShareMarker = "合言葉";

// "address:port 合言葉 key", the port always written out. `addressBox` is
// what the host's address box shows (what members type; without a port it
// is `defaultPort`); when it holds no IP address (it is still looking, or
// says it found none), the text is "合言葉 key" alone. Empty without a key.
std::string BuildShareText(std::string_view addressBox, std::string_view key, int defaultPort);

// What a member typed or pasted into the address box, split at the marker:
// the address as typed before it and the key after it ("合言葉 key", or
// "合言葉:key" and "合言葉=key" with the sign right after the word;
// full-width forms as their ASCII characters, blanks around the key and
// runs of blanks inside it taken as one space). Without the
// marker the whole text is the address and the key is empty.
struct ShareParts {
  std::string address;
  std::string key;
};
ShareParts SplitShareText(std::string_view typed);

}  // namespace crewmap::net
