#pragma once
// E-mail and web addresses found on a card's lines and repaired where recognition misread them, and
// what they say of the card's owner and company.
// For the card rules' own files; callers use card_fields.h and vcard.h.

#include <string>
#include <vector>

namespace outside::card_rules {

// Recognition may put a blank after a dot or around the "@", read the "@" as "Q" or "G" inside an
// address in lower case, or lose the dot of "jan.janssen" to a blank; addresses are written in lower
// case. `rest` is what the line holds besides the address and its label.
bool FindEmail(const std::string& line, std::string& email, std::string& rest, const std::string& region);

// A web address: "http(s)://...", "www. ..." (a blank after "www." is recognition's), or a bare domain
// printed in lower case ("summitlogistics.com"); never part of an e-mail address.
std::string FindWeb(const std::string& line, const std::string& region);

// A web address whose host could be one: two labels or more of letters, digits and inner dashes, the
// last of letters alone ("www.contoso.co)p" is a misreading).
bool IsWebAddress(const std::string& web);

// What the card's addresses say of its owner: the parts of the e-mail's local part ("laura", "becker")
// unless it names a desk ("info", "sales"), and the company's domain label ("nordlicht-optik").
struct AddressHints {
    std::vector<std::string> person;
    std::string person_compact;
    std::string company;
};

AddressHints Hints(const std::vector<std::string>& emails, const std::string& web);

// An e-mail address whose local part spells a word of the card's name but for a confusion of
// recognition ("jinoon.park" beside "Jihoon Park") takes the name's spelling: the name is printed larger.
std::string EmailMendedByName(const std::string& email, const std::string& name);

}  // namespace outside::card_rules
