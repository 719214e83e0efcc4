#pragma once
// What a business card says, found by plain rules on its recognised lines.

#include <string>
#include <vector>

namespace outside {

struct Telephone {
    std::string number;
    std::string type;       // "WORK,VOICE", "CELL" or "FAX"
    bool labelled = false;  // its type printed before it ("Fax:"), not taken as a voice line for want of one
};

// One recognised text line and where it was printed (pixels of the card picture).
struct LayoutLine {
    std::string text;
    int height = 0;  // print size: the median height of its word boxes
    int left = 0, top = 0, right = 0, bottom = 0;
    int block = 0;           // lines of one block were laid out together
    float confidence = 100;  // recognition's, 0 to 100: its words' mean, each weighted by its length
};

struct CardFields {
    std::string full_name, family_name, given_name, name_prefix;
    std::string title;
    std::string organisation;
    std::vector<Telephone> telephones;
    std::vector<std::string> emails;
    std::string web;
    std::vector<std::string> address_lines;  // as printed
    struct Address {
        std::string street, locality, region, postal_code;  // empty where the lines do not tell
    } address;
    std::string note;  // every recognised line, in order
};

// Nothing was read on the card: no field, and no word of four letters in its text (a picture, a game's
// card, a blank back). Such a card is no contact.
bool NothingRead(const CardFields& card);

// The fields from a card's recognised lines. E-mail and web addresses are found in their lines and keep
// no label; telephone numbers are found and written in international form by libphonenumber, typed by
// the label before them (T, Tel, M, Mobile, F, Fax and their forms in other languages, Japanese, Chinese
// and Korean ones among them); `region` (ISO 3166, "" when unknown) is where a number without a country
// code is dialled, and with none such a number is left out. A number after a '+' the numbering plans do
// not know, or one of nine digits or more alone on its line, is kept as printed. The name is the
// name-shaped line (two to four capitalised words) in the largest print, else the line of one to three
// words just above the title, else the owner's name signed after a telephone number's slash ("... /
// Valdeci"); the title the line with a job word nearest to it; the organisation the
// line with a legal form (inside the name in Chinese, Japanese and Korean), else the largest print left
// when larger than the name's, else the first line above the name, with a second line in the same print
// under it. Lines left with a digit, and a line just before the postal code's, each under the one
// before (a stray mark read between them parts nothing), are the address, a word read without its accent
// spelled as the card spells it elsewhere, starting at the street where a line names one ("Rua", "Av."); what
// a telephone's line prints before the number belongs to it where it names a street or goes on from the line
// above. A field not found stays empty; every line is kept in the note.
CardFields ExtractCardFields(const std::vector<LayoutLine>& lines, const std::string& region);

// The line may hold a telephone number, an e-mail or a web address: an "@", "www", "mail", a "+", six
// digits or more, or a telephone label before digits. Such lines are worth reading again when unsure.
bool LooksLikeContactLine(const std::string& line);

// How many telephone numbers (ones the numbering plan of `region` dials, or local ones printed as
// telephones are), e-mail addresses of the usual shape and web addresses the line gives: of two readings
// of one line, the one that gives fewer is the misread one. `dialled` counts the telephones the plan
// dials as printed (with their area code).
struct ContactCount {
    int telephones = 0, emails = 0, webs = 0, dialled = 0;
};
ContactCount ContactEvidence(const std::string& line, const std::string& region);

// The line names a company by its legal form: a Latin one ("GmbH", "Co., Ltd."; one of two letters only
// where legal forms stand) or a Chinese, Japanese or Korean one inside the name ("株式会社").
bool HasCompanyLegalForm(const std::string& line);

// The line may be a job title: a job word ("Director", "Manager") in six words at most and no digit (a
// longer line with a job word describes the trade).
bool TitleShaped(const std::string& line);

}  // namespace outside
