#pragma once
// Picking the caller's address out of an address-echo page's reply.
#include <cstddef>
#include <string>
#include <string_view>

namespace crewmap::net {

// An address takes well under 100 bytes: a reply longer than this is no
// echo page's, and is not read further.
inline constexpr std::size_t kMaxEchoReplyBytes = 4096;

// How the lookup at the echo page ended.
enum class EchoEnd {
  Answered,  // a reply came whole (its address may still be empty)
  Failed,    // no reply: refused, an HTTP error, no progress, the time-out
  TooLong,   // the reply ran past kMaxEchoReplyBytes and was cut off
};

// The text after the second "(" up to the next "(" and then up to the first
// ")", unchanged (spaces kept). A reply that, once trimmed, is a bare IPv4 or
// IPv6 address is that address. Any other reply with fewer than two "(" gives
// the empty text.
std::string ExtractAddress(std::string_view reply);

// Dotted-quad IPv4 (four decimal parts 0..255) or textual IPv6 (RFC 4291
// forms, "::" at most once, an IPv4 tail allowed).
bool IsBareIpAddress(std::string_view text);

// `text` without the blanks (space, tab, CR, LF) around it.
std::string_view TrimBlanks(std::string_view text);

}  // namespace crewmap::net
