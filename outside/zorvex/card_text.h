#pragma once
// The text helpers the card rules share: words, case, letters and digits of recognised UTF-8 lines.
// For the card rules' own files; callers use card_fields.h and vcard.h.

#include <cstddef>
#include <initializer_list>
#include <string>
#include <vector>

namespace outside::card_rules {

std::vector<std::string> Words(const std::string& line);

// Lower case, the Latin-1 capitals too ("ASSISTÊNCIA", "GESCHÄFTSFÜHRER" printed in capitals).
std::string Lower(std::string text);

bool IsDigit(char c);

bool HasDigit(const std::string& text);

// A word lowered with the dots, colons and commas around it removed.
std::string Bare(const std::string& word);

bool InList(const std::string& word, std::initializer_list<const char*> keys);

// Letters and digits only, lower case, Latin accents dropped ("Lucía Fernández" -> "luciafernandez"), so
// a printed line can be set against an e-mail or web address.
std::string Compact(const std::string& text);

// The bytes of the character that starts at `at`: its lead byte's length, cut short at the text's end, and
// one for a byte that cannot lead, so every step moves on.
size_t CharacterBytes(const std::string& text, size_t at);

bool AnyWord(const std::string& line, bool (*test)(const std::string&));

// Letters and digits in the line, a character beyond ASCII counted once.
int LetterCount(const std::string& text);

// A run of at least `count` letters: ASCII ones, or characters beyond ASCII that are no signs (quotes,
// dashes, the ordinal "º" and "°" are U+0080 to U+00BF or U+2000 to U+2BFF; CJK punctuation U+3000 to
// U+303F).
bool HasWordOfLetters(const std::string& text, int count);

// A word with no letter or digit ("—", "&" of a telephone icon, "|").
bool SignsOnly(const std::string& word);

}  // namespace outside::card_rules
