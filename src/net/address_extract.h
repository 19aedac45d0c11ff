#pragma once
// Picking the caller's address out of an address-echo page's reply.
#include <string>
#include <string_view>

namespace crewmap::net {

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
