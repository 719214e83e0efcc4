#pragma once
// What a business card says, found by plain rules on its recognised lines, and the vCard 3.0 written
// from it.

#include <string>
#include <vector>

namespace outside {

struct Telephone {
    std::string number;
    std::string type;  // "WORK,VOICE", "CELL" or "FAX"
};

// One recognised text line and where it was printed (pixels of the card picture).
struct LayoutLine {
    std::string text;
    int height = 0;  // print size: the median height of its word boxes
    int left = 0, top = 0, right = 0, bottom = 0;
    int block = 0;  // lines of one block were laid out together
};

struct CardFields {
    std::string full_name, family_name, given_name;
    std::string title;
    std::string organisation;
    std::vector<Telephone> telephones;
    std::vector<std::string> emails;
    std::string web;
    std::vector<std::string> address_lines;
    std::string note;  // every recognised line, in order
};

// Rules, line by line: an e-mail address (text@domain.tld); a telephone number (a line of at least six
// digits and number signs, perhaps after a label such as "Tel" or "Fax", which sets its type); a job
// title (a line with a word such as "Manager" or "Engineer"); an organisation (a line with a company
// word such as "Ltd" or "GmbH", else the first other line after the name); the name (the first line of
// two to four capitalised words); lines left over that carry a digit are the address.
CardFields ExtractCardFields(const std::vector<std::string>& lines);
// The same on recognised layout lines; `region` (ISO 3166, "" when unknown) is where numbers without a
// country code are dialled.
CardFields ExtractCardFields(const std::vector<LayoutLine>& lines, const std::string& region);

// The vCard, lines ended by CR LF and folded at 75 bytes between characters; values escaped, and any byte
// of recognised text that is not part of a well-formed UTF-8 character written as U+FFFD.
std::string VCard(const CardFields& card);

// `text` with each byte that does not belong to a well-formed UTF-8 character (a stray continuation, a cut
// sequence, an overlong form, a surrogate) replaced by U+FFFD.
std::string ValidUtf8(const std::string& text);

}  // namespace outside
