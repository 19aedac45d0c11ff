#include "net/key_lines.h"

#include "common/wide_forms.h"
#include "net/address_extract.h"
#include "net/host_port.h"
#include "net/messages.h"
#include "net/wire_text.h"

namespace crewmap::net {
namespace {

// The version tag in every line: a later exchange gets another tag, and
// this one reads none of its lines.
constexpr std::string_view kTag = "#k1 ";
constexpr std::string_view kProvenNotice = "*******合言葉を確かめました";

// `piece` is `head` (wire bytes), one space, then the tag; the rest after it.
std::optional<std::string_view> AfterTag(std::string_view piece, std::string_view head) {
  if (!piece.starts_with(head)) return std::nullopt;
  piece.remove_prefix(head.size());
  if (!piece.starts_with(' ')) return std::nullopt;
  piece.remove_prefix(1);
  if (!piece.starts_with(kTag)) return std::nullopt;
  return piece.substr(kTag.size());
}

const std::string& WireHead(std::string_view utf8) {
  // The two heads the host writes before a tag, encoded once.
  static const std::string challenge = EncodeWireText(kKeyNeededNotice);
  static const std::string proven = EncodeWireText(kProvenNotice);
  return utf8 == kKeyNeededNotice ? challenge : proven;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

std::optional<std::string> FromHex(std::string_view hex, std::size_t bytes) {
  if (hex.size() != bytes * 2) return std::nullopt;
  auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
  std::string out(bytes, '\0');
  for (std::size_t i = 0; i < bytes; ++i) {
    const int high = digit(hex[2 * i]);
    const int low = digit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    out[i] = static_cast<char>(high << 4 | low);
  }
  return out;
}

std::string BuildKeyChallenge(std::string_view hostNonce) {
  return WireHead(kKeyNeededNotice) + " " + std::string(kTag) + ToHex(hostNonce) + std::string(kLineEnd);
}

std::string BuildKeyAnswer(std::string_view memberNonce, std::string_view memberProof) {
  return std::string(kTag) + ToHex(memberNonce) + " " + ToHex(memberProof) + "\t" + std::string(kLineEnd);
}

std::string BuildHostProof(std::string_view hostProof) {
  return WireHead(kProvenNotice) + " " + std::string(kTag) + ToHex(hostProof) + std::string(kLineEnd);
}

std::string BuildKeyNotice(std::string_view utf8Notice) { return EncodeWireText(utf8Notice) + std::string(kLineEnd); }

std::optional<std::string> ParseKeyChallenge(std::string_view piece) {
  const auto rest = AfterTag(piece, WireHead(kKeyNeededNotice));
  return rest ? FromHex(*rest, kNonceBytes) : std::nullopt;
}

std::optional<KeyAnswer> ParseKeyAnswer(std::string_view piece) {
  if (!piece.starts_with(kTag) || !piece.ends_with('\t')) return std::nullopt;
  piece.remove_prefix(kTag.size());
  piece.remove_suffix(1);
  const std::size_t space = piece.find(' ');
  if (space == std::string_view::npos) return std::nullopt;
  auto nonce = FromHex(piece.substr(0, space), kNonceBytes);
  auto proof = FromHex(piece.substr(space + 1), kProofBytes);
  if (!nonce || !proof) return std::nullopt;
  return KeyAnswer{std::move(*nonce), std::move(*proof)};
}

std::optional<std::string> ParseHostProof(std::string_view piece) {
  const auto rest = AfterTag(piece, WireHead(kProvenNotice));
  return rest ? FromHex(*rest, kProofBytes) : std::nullopt;
}

bool IsKeyNotice(std::string_view piece, std::string_view utf8Notice) { return piece == EncodeWireText(utf8Notice); }

// ---------------------------------------------------------------- the text to pass on

std::string BuildShareText(std::string_view addressBox, std::string_view key, int defaultPort) {
  if (key.empty()) return {};
  std::string text;
  // Only an address: the box says so in words while it has none.
  if (const auto target = ParseHostPort(addressBox, defaultPort); target && IsBareIpAddress(target->host)) {
    // Written with its port whatever the port is, so that nobody has to
    // know which one is meant when none is given.
    text = FormatHostPort(target->host, target->port, 0);
    text += ' ';
  }
  text += kShareMarker;
  text += ' ';
  text += key;
  return text;
}

ShareParts SplitShareText(std::string_view typed) {
  // Full-width forms, as a Japanese input method or the game's chat writes
  // them, count as their ASCII characters in the key as in the address.
  const std::string folded = FoldWideForms(typed);
  const std::size_t marker = folded.find(kShareMarker);
  if (marker == std::string::npos) return {std::string(typed), {}};
  ShareParts parts;
  parts.address = std::string(TrimBlanks(std::string_view(folded).substr(0, marker)));
  std::string_view rest = std::string_view(folded).substr(marker + kShareMarker.size());
  // "合言葉:" and "合言葉=" as typed by hand; after a blank a ':' is the
  // key's own, as the host writes a key that begins with one.
  if (!rest.empty() && (rest.front() == ':' || rest.front() == '=')) rest.remove_prefix(1);
  rest = TrimBlanks(rest);
  for (std::size_t at = 0; at < rest.size(); ++at) {
    if (!IsBlank(rest[at])) {
      parts.key += rest[at];
    } else if (!IsBlank(rest[at - 1])) {  // a run of blanks is one space (never first or last: trimmed)
      parts.key += ' ';
    }
  }
  return parts;
}

}  // namespace crewmap::net
