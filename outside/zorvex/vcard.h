#pragma once
// The vCard 3.0 written from a card's fields.

#include <string>

#include "outside/zorvex/card_fields.h"

namespace outside {

// The vCard, lines ended by CR LF and folded at 75 bytes between characters; values escaped, and any byte
// of recognised text that is not part of a well-formed UTF-8 character written as U+FFFD.
std::string VCard(const CardFields& card);

// `text` with each byte that does not belong to a well-formed UTF-8 character (a stray continuation, a cut
// sequence, an overlong form, a surrogate) replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

}  // namespace outside
