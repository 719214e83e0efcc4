#pragma once
// Telephone numbers found on a card's lines by libphonenumber, typed by their labels.
// For the card rules' own files; callers use card_fields.h and vcard.h.

#include <regex>
#include <string>
#include <vector>

#include "outside/zorvex/card_fields.h"

namespace outside::card_rules {

// A postal code after its label, in the code's own shape: "CEP" is a Brazilian code's label but a
// mobile number's in Turkish ("Cep 0532 ..."), so only the code's shape tells them apart.
const std::regex& PostalLabelled();

// Recognition reads a 0 as "O" and a 1 as "l" now and then; inside a run of digits they are digits.
std::string DigitsRepaired(const std::string& line);

// A number without label or area code is taken only in a telephone's usual print: digits grouped by
// blanks, dots or dashes, the last group of four ("2294-9284", "9.9679-9468"); a postal code ("03637-000")
// or a date ("12.05.2024") is not.
bool LocalShaped(const std::string& raw);

// The telephone numbers on a line, found and written in international form by libphonenumber; what is
// left of the line (labels, separators) goes back in `rest`.
// `area`, where given, is the area code of the last whole number on the line above, which a local number
// on this line shares, and comes back as this line's.
std::vector<Telephone> FindTelephones(const std::string& line, const std::string& region, std::string& rest,
                                      std::string* carried = nullptr);

// The numbers found on a card's lines, each once: a number read twice (a row read again beside the
// reading that kept its line) is one number; the same number under two labels ("Tel/Fax") stays twice,
// once for each. Read once without its label (a part of its row read again alone), it is the labelled
// one, not a voice line besides.
void OneEntryPerNumber(std::vector<Telephone>& telephones);

// What a telephone line prints before its numbers, labels and signs left out: the words before the
// shortest tail that still gives every number of the line as the whole line gives it ("SP 42 3569-6905"
// keeps "42", which belongs to the number read).
std::string BeforeTheNumbers(const std::string& line, const std::string& region);

}  // namespace outside::card_rules
