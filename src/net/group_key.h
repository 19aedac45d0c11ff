#pragma once
// The group key as both sides use it: stretched once from the text the host
// set, and the two proofs made with it. Only Qt's own primitives are used:
// PBKDF2 (QPasswordDigestor), HMAC-SHA-256 (QMessageAuthenticationCode) and
// the system's random generator.
#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>

namespace crewmap::net {

// The key text as it is compared: Unicode compatibility forms folded (NFKC:
// full-width letters and digits as ASCII, half-width kana as full-width),
// runs of blanks as one space, none at either end. UTF-8 in and out.
std::string NormalizeKey(std::string_view utf8);

class GroupKey {
 public:
  // PBKDF2 rounds: a few tens of milliseconds once per key on a player's PC,
  // so that guessing from a recorded exchange is slow too.
  static constexpr int kRounds = 30000;

  // The key from the text (NormalizeKey first); nothing when that is empty.
  static std::optional<GroupKey> Stretch(std::string_view utf8);

  const std::string& Text() const { return text_; }
  // HMAC-SHA-256 over a role label and both nonces: the member's answer and
  // the host's reply are never the same bytes, and neither fits another
  // connection's nonces.
  std::string MemberProof(std::string_view hostNonce, std::string_view memberNonce) const;
  std::string HostProof(std::string_view hostNonce, std::string_view memberNonce) const;

 private:
  std::string Proof(std::string_view label, std::string_view hostNonce, std::string_view memberNonce) const;
  std::string text_;
  QByteArray stretched_;
};

// kNonceBytes fresh bytes from the system's generator.
std::string FreshNonce();
// Whether two proofs are the same, in a time that does not depend on where
// they differ.
bool SameProof(std::string_view a, std::string_view b);

}  // namespace crewmap::net
