#include "net/key_exchange.h"

#include "net/key_lines.h"
#include "net/line_receiver.h"

namespace crewmap::net {

HostKeyCheck::HostKeyCheck(GroupKey key)
    : key_(std::move(key)), nonce_(FreshNonce()), challenge_(BuildKeyChallenge(nonce_)) {}

HostKeyStep HostKeyCheck::Piece(std::string_view piece) {
  if (decided_) return {HostKeyVerdict::NoAnswer, {}};
  // Our members of earlier versions send a blank line a second while their
  // capture fails: no answer yet. Many more is a peer that only sends them.
  if (IsBlankPiece(piece) && ++blanks_ <= kBlankLines) return {};
  decided_ = true;
  const std::optional<KeyAnswer> answer = ParseKeyAnswer(piece);
  if (!answer) return {HostKeyVerdict::NoAnswer, {}};
  if (!SameProof(answer->memberProof, key_.MemberProof(nonce_, answer->memberNonce)))
    return {HostKeyVerdict::WrongKey, BuildKeyNotice(kWrongKeyNotice)};
  return {HostKeyVerdict::Proved, BuildHostProof(key_.HostProof(nonce_, answer->memberNonce))};
}

void MemberKeyCheck::Begin(std::optional<GroupKey> key) {
  key_ = std::move(key);
  state_ = State::Waiting;
  hostNonce_.clear();
  memberNonce_.clear();
}

MemberKeyStep MemberKeyCheck::Stop(MemberKeyVerdict verdict) {
  state_ = State::Stopped;
  return {verdict, {}};
}

MemberKeyStep MemberKeyCheck::Piece(std::string_view piece) {
  switch (state_) {
    case State::Stopped:
      return {MemberKeyVerdict::Held, {}};
    case State::Joined:
      return {};
    case State::Waiting:
      if (!key_) {
        // The first line decides: a keyed host asks at once.
        if (ParseKeyChallenge(piece)) return Stop(MemberKeyVerdict::KeyNeeded);
        state_ = State::Joined;
        return {};
      }
      if (const std::optional<std::string> nonce = ParseKeyChallenge(piece)) {
        hostNonce_ = *nonce;
        memberNonce_ = FreshNonce();
        state_ = State::Answered;
        return {MemberKeyVerdict::Answer, BuildKeyAnswer(memberNonce_, key_->MemberProof(hostNonce_, memberNonce_))};
      }
      // Too many tries from this address: shown as the notice it is; the
      // host closes next and the member tries again later as after any loss.
      if (IsKeyNotice(piece, kTooManyTriesNotice)) return {};
      return Stop(MemberKeyVerdict::HostCannotProve);
    case State::Answered:
      if (const std::optional<std::string> proof = ParseHostProof(piece)) {
        if (!SameProof(*proof, key_->HostProof(hostNonce_, memberNonce_))) return Stop(MemberKeyVerdict::WrongKey);
        state_ = State::Joined;
        return {MemberKeyVerdict::Joined, {}};
      }
      if (IsKeyNotice(piece, kWrongKeyNotice)) return Stop(MemberKeyVerdict::WrongKey);
      return Stop(MemberKeyVerdict::HostCannotProve);
  }
  return {};
}

}  // namespace crewmap::net
