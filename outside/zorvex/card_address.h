#pragma once
// The card's address: its lines mended where recognition misreads them, and split into street, town,
// region and postal code.
// For the card rules' own files; callers use card_fields.h and vcard.h.

#include <string>
#include <vector>

#include "outside/zorvex/card_fields.h"

namespace outside::card_rules {

// A line that ends an address: a postal code (four to six digits, a British or Canadian code) or a US
// state and ZIP code.
bool HasPostalCode(const std::string& line);

// The address's last line split into town, region and postal code where their shape is plain.
void SplitAddress(CardFields& card);

// A street and its number: a street word among the first three words ("Lojas: Av. Rio das Pedras, 1553")
// with a digit after it.
bool StreetShaped(const std::string& line);

std::string WithoutTrailingSigns(const std::string& line);

// A Brazilian address split where its parts are plain: the postal code after "CEP" anywhere, the state
// as the last part of a line ("... - SP", "| SP"), and the town just before the state where the line
// holds only the two ("São Paulo - SP") or the town follows the postal code ("CEP 01137-000 - São Paulo -
// SP"); a district ("Jd. Fernandes", "Centro") stays in the street. False when neither code nor state
// is found.
bool SplitBrazilianAddress(CardFields& card);

// A Canadian postal code after its province, letters and digits in turn ("ON M5J 2J2"), with the
// characters recognition confuses put back by their place: "M5) 2j2" is "M5J 2J2".
std::string CanadianCodeMended(const std::string& line);

// Recognition drops accents now and then but does not make them up: a word read without its accents
// ("Av. Cangaiba,2341- Cangaíba") takes the spelling the card gives it elsewhere, where that spelling is
// one and has the same capitals.
std::string AccentsFromCard(const std::string& line, const std::vector<LayoutLine>& card);

// `line` with the marks a second reading of it (`again`) gives: where both read as many words, a word
// read without marks takes the second reading's spelling of it when that has the same ASCII letters,
// capitals too, and Latin letters with marks for the rest ("Sao" -> "São"); every other word stays as
// first read.
std::string MarksFrom(const std::string& line, const std::string& again);

}  // namespace outside::card_rules
