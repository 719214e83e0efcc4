// The card program's field rules and its vCard writer, on recognised text given by hand.

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "outside/zorvex/card_address.h"
#include "outside/zorvex/card_region.h"
#include "outside/zorvex/vcard.h"

namespace {

// The content lines of a vCard, unfolded; fails the test when a physical line is longer than 75 bytes or
// a line does not end in CR LF.
std::vector<std::string> Unfolded(const std::string& vcard) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = vcard.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string physical = vcard.substr(start, end - start);
        EXPECT_LE(physical.size(), 75u) << physical;
        if (!physical.empty() && physical[0] == ' ' && !lines.empty())
            lines.back() += physical.substr(1);
        else
            lines.push_back(physical);
    }
    EXPECT_EQ(start, vcard.size()) << "text after the last CR LF";
    return lines;
}

std::string Line(const std::vector<std::string>& lines, const std::string& prefix) {
    for (const std::string& line : lines)
        if (line.rfind(prefix, 0) == 0) return line;
    return {};
}

TEST(VCardWriter, FoldsOnCharacterBoundariesWhateverTheBytes) {
    // A run of continuation bytes has no character start to fold at: each stray byte is one replacement
    // character, and folding still moves on.
    outside::CardFields card;
    card.note = std::string(80, '\x80');
    std::string replaced;
    for (int i = 0; i < 80; ++i) replaced += "\xEF\xBF\xBD";
    std::vector<std::string> lines = Unfolded(outside::VCard(card));
    EXPECT_EQ(Line(lines, "NOTE:"), "NOTE:" + replaced);

    // Malformed sequences among good characters: a cut two-byte one, an overlong '/', a surrogate, a byte
    // that never leads; good multi-byte characters are kept and never split across a fold.
    card.note = "caf\xC3 \xC0\xAF \xED\xA0\x80 \xFF ok \xE2\x82\xAC \xF0\x9F\x93\x87";
    card.full_name = std::string(40, 'a') + std::string(30, '\xC3') + "\xC3\xA9\xC3\xA9";
    const std::string vcard = outside::VCard(card);
    lines = Unfolded(vcard);
    EXPECT_EQ(
        Line(lines, "NOTE:"),
        "NOTE:caf\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD \xEF\xBF\xBD ok "
        "\xE2\x82\xAC \xF0\x9F\x93\x87");
    EXPECT_EQ(outside::ValidUtf8(vcard), vcard);
    std::string name = "FN:" + std::string(40, 'a');
    for (int i = 0; i < 30; ++i) name += "\xEF\xBF\xBD";
    EXPECT_EQ(Line(lines, "FN:"), name + "\xC3\xA9\xC3\xA9");
    for (size_t at = vcard.find("\r\n "); at != std::string::npos; at = vcard.find("\r\n ", at + 1))
        EXPECT_NE(static_cast<unsigned char>(vcard[at + 3]) & 0xC0, 0x80) << "a fold inside a character";
}

}  // namespace

namespace {

outside::LayoutLine L(const std::string& text, int height, int block = 0) {
    static int top = 0;
    outside::LayoutLine line;
    line.text = text;
    line.height = height;
    line.top = (top += 2 * height);
    line.bottom = line.top + height;
    line.right = 40 * static_cast<int>(text.size());
    line.block = block;
    return line;
}

outside::LayoutLine Doubtful(outside::LayoutLine line, float confidence) {
    line.confidence = confidence;
    return line;
}

TEST(CardFieldRules, LabelsLegalFormsAndPrintSizeAsTheCardsPrintThem) {
    // The company in the largest print (as "Co., Ltd." cards do; "Ltd" misread), the name below it; numbers
    // glued to their labels, an e-mail after "E-mail.", no region known: every number carries its country
    // code.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Hanbit Optics Co., Lid.", 60), L("Kim Min-jun", 44), L("Senior Engineer", 22),
         L("T.+82.53.814.2465", 18), L("M. +82 1O-1234-5678", 18), L("TEL +81-3-6860-8606", 18),
         L("E-mail. minjun.kim@hanbit.example", 18), L("www.hanbit.example", 18),
         L("123 Dalgubeol-daero, Suseong-gu", 18, 1), L("Daegu 42011, Korea", 18, 1)},
        "");
    EXPECT_EQ(card.organisation, "Hanbit Optics Co., Ltd.");
    EXPECT_EQ(card.full_name, "Kim Min-jun");
    EXPECT_EQ(card.title, "Senior Engineer");
    ASSERT_EQ(card.telephones.size(), 3u);
    EXPECT_EQ(card.telephones[0].type, "WORK,VOICE");
    EXPECT_EQ(card.telephones[0].number, "+82 53-814-2465");
    EXPECT_EQ(card.telephones[1].type, "CELL");
    EXPECT_EQ(card.telephones[1].number, "+82 10-1234-5678");
    EXPECT_EQ(card.telephones[2].number, "+81 3-6860-8606");
    EXPECT_EQ(card.emails, std::vector<std::string>{"minjun.kim@hanbit.example"});
    EXPECT_EQ(card.web, "www.hanbit.example");
    EXPECT_EQ(card.address_lines,
              (std::vector<std::string>{"123 Dalgubeol-daero, Suseong-gu", "Daegu 42011, Korea"}));
    EXPECT_NE(card.note.find("T.+82.53.814.2465\nM. +82 1O-1234-5678"), std::string::npos) << card.note;

    // A German card: the name is the largest print, the company is found by its legal form, a number
    // without country code is dialled in the card's region and an "O" or "l" among digits is a digit.
    card = outside::ExtractCardFields(
        {L("Lumen Camera Systems GmbH", 20), L("David Chen", 36), L("Product Designer", 16),
         L("Mobile: +1 415 555 0199", 14), L("Fax 030 l234O6", 14), L("D. Chen @lumencam.example", 14)},
        "DE");
    EXPECT_EQ(card.full_name, "David Chen");
    EXPECT_EQ(card.family_name, "Chen");
    EXPECT_EQ(card.organisation, "Lumen Camera Systems GmbH");
    EXPECT_EQ(card.title, "Product Designer");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_EQ(card.telephones[0].number, "+1 415-555-0199");
    EXPECT_EQ(card.telephones[1].type, "FAX");
    EXPECT_EQ(card.telephones[1].number, "+49 30 123406");
    EXPECT_EQ(card.emails, std::vector<std::string>{"d.chen@lumencam.example"});
}

TEST(CardFieldRules, AFieldNotOnTheCardStaysEmpty) {
    // No region: a number without its country code cannot be dialled, so it is no telephone, and a
    // labelled line is no address either; a slogan is no organisation, a postal-code-like year no number.
    const outside::CardFields card = outside::ExtractCardFields(
        {L("Anna Berger", 40), L("anna@nord.example", 14), L("Tel 0171 234567", 14), L("since 1998", 12)},
        "");
    EXPECT_EQ(card.full_name, "Anna Berger");
    EXPECT_TRUE(card.telephones.empty()) << card.telephones.front().number;
    EXPECT_TRUE(card.title.empty()) << card.title;
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    EXPECT_TRUE(card.web.empty()) << card.web;
    const std::vector<std::string> lines = Unfolded(outside::VCard(card));
    EXPECT_EQ(Line(lines, "TEL"), "");
    EXPECT_EQ(Line(lines, "ORG"), "");
    EXPECT_EQ(Line(lines, "NOTE:"), "NOTE:Anna Berger\\nanna@nord.example\\nTel 0171 234567\\nsince 1998");
}

TEST(CardFieldRules, AddressesSplitWhereThePartsArePlain) {
    outside::CardFields card = outside::ExtractCardFields(
        {L("Dr. Avery Smith", 40), L("2 Kingdom Street", 16, 1), L("Paddington, London, W2 6BD", 16, 1)},
        "GB");
    EXPECT_EQ(card.name_prefix, "Dr.");
    EXPECT_EQ(card.given_name, "Avery");
    std::vector<std::string> lines = Unfolded(outside::VCard(card));
    EXPECT_EQ(Line(lines, "N:"), "N:Smith;Avery;;Dr.;");
    EXPECT_EQ(Line(lines, "ADR"), "ADR;TYPE=WORK:;;2 Kingdom Street\\nPaddington;London;;W2 6BD;");

    card = outside::ExtractCardFields(
        {L("Chris Smith", 40), L("One Microsoft Way", 16), L("Redmond, WA 98052", 16)}, "US");
    EXPECT_EQ(Line(Unfolded(outside::VCard(card)), "ADR"),
              "ADR;TYPE=WORK:;;One Microsoft Way;Redmond;WA;98052;");

    // Street and town on one line without a comma: where the town starts is not plain.
    card =
        outside::ExtractCardFields({L("Chris Smith", 40), L("4001 1st Ave NE Redmond, WA 98052", 16)}, "US");
    EXPECT_EQ(Line(Unfolded(outside::VCard(card)), "ADR"),
              "ADR;TYPE=WORK:;;4001 1st Ave NE Redmond;;WA;98052;");
}

}  // namespace

namespace {

TEST(CardFieldRules, TheAddressesTellTheCompanyFromThePerson) {
    // No legal form and the company in the larger print: its web domain names it, the e-mail's owner is
    // the person. Recognition read the "@" as "Q" and joined the name's column to the e-mail's.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Green Leaf Bakery", 48), L("Sanne de Vries hello@greenleafbakery.example", 30),
         L("sanne.devriesQgreenleafbakery.example", 16), L("greenleafbakery.nl", 16), L("06 12345678", 16)},
        "NL");
    EXPECT_EQ(card.organisation, "Green Leaf Bakery");
    EXPECT_EQ(card.full_name, "Sanne de Vries");
    EXPECT_EQ(card.emails, (std::vector<std::string>{"hello@greenleafbakery.example",
                                                     "sanne.devries@greenleafbakery.example"}));
    EXPECT_EQ(card.web, "greenleafbakery.nl");
    ASSERT_EQ(card.telephones.size(), 1u);
    EXPECT_EQ(card.telephones[0].type, "CELL");  // a mobile number by the numbering plan
    EXPECT_TRUE(card.title.empty()) << card.title;

    // A letter-spaced name put back by its e-mail; a title compound of a job stem.
    card = outside::ExtractCardFields({L("Revontuli Optiikka Oy", 34), L("Ai no Vi rta ne n", 30),
                                       L("Myyntipäällikkö", 20), L("aino.virtanen@revontuli.example", 16)},
                                      "FI");
    EXPECT_EQ(card.full_name, "Aino Virtanen");
    EXPECT_EQ(card.title, "Myyntipäällikkö");
    EXPECT_EQ(card.organisation, "Revontuli Optiikka Oy");
}

}  // namespace

namespace {

outside::LayoutLine At(outside::LayoutLine line, int left) {
    line.right += left - line.left;
    line.left = left;
    return line;
}

TEST(CardFieldRules, SampleCardsAsRecognitionReadThem) {
    // A card design's sample numbers no numbering plan knows, a given name alone above its title, the
    // company's name in large print over two lines, and a stray mark from the picture beside the address.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Amit kumar", 36), L("CEO & FOUNDER", 23, 1), L("+123-456-7890", 22, 2), L("123-456-7569", 22, 2),
         L("hello@global.com", 31, 2), L("9 123 global St., Erode,", 28, 3),
         At(L("G |. @) BA [_", 55, 3), 2000), L("TamilNadu 600115", 22, 3), L("GLOBAL", 49, 4),
         L("INSURANCE", 49, 4), L("E3", 38, 5)},
        "IN");
    EXPECT_EQ(card.full_name, "Amit kumar");
    EXPECT_EQ(card.title, "CEO & FOUNDER");
    EXPECT_EQ(card.organisation, "GLOBAL INSURANCE");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[0].number, "+1 234567890");
    EXPECT_EQ(card.telephones[1].number, "+91 1234 567 569");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"123 global St., Erode,", "TamilNadu 600115"}));

    // Small print lost blanks and dots: the name is put back by its e-mail, the domains by their ending,
    // and the company is found by its domain; of two title lines the one under the name is its title.
    card = outside::ExtractCardFields(
        {L("Creative Studios", 17), L("Digital Marketing & Design", 21), Doubtful(L("MichaelChen", 17), 72),
         L("Marketing Manager", 21), L("michael@creativestudioscom", 19), L("www.creativestudioscom", 17)},
        "CN");
    EXPECT_EQ(card.full_name, "Michael Chen");
    EXPECT_EQ(card.title, "Marketing Manager");
    EXPECT_EQ(card.organisation, "Creative Studios");
    EXPECT_EQ(card.emails, std::vector<std::string>{"michael@creativestudios.com"});
    EXPECT_EQ(card.web, "www.creativestudios.com");

    card = outside::ExtractCardFields({L("KARTHICK", 36), L("General Manager", 30, 1)}, "IN");
    EXPECT_EQ(card.full_name, "KARTHICK");
    EXPECT_EQ(card.given_name, "KARTHICK");
    EXPECT_EQ(Line(Unfolded(outside::VCard(card)), "N:"), "N:;KARTHICK;;;");

    // The whole desk picture read when no card was cut out: recognition parted the web address; the
    // company's name, white on grey, was not read, and no other line is taken for it.
    card = outside::ExtractCardFields(
        {L("Chris Smith", 109, 1), L("Senior Researcher", 55, 2), L("chris.smith@contoso.com", 61, 2),
         L("https:/ /www.contoso com|", 67, 2)},
        "US");
    EXPECT_EQ(card.web, "https://www.contoso.com");
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    EXPECT_EQ(card.title, "Senior Researcher");
    // Read so, the first letter of "https" lost too.
    EXPECT_EQ(outside::ExtractCardFields({L("ttps:/ /Www.contoso com|", 67)}, "US").web,
              "https://www.contoso.com");

    // Faint print lost the dot before the country's own domain, and two w's; the region tells the domain.
    card = outside::ExtractCardFields({L("priya@apexconsultin", 21), L("w.apexconsultin", 20)}, "IN");
    EXPECT_EQ(card.emails, std::vector<std::string>{"priya@apexconsult.in"});
    EXPECT_EQ(card.web, "www.apexconsult.in");
    // Or the dot after "www" (a host spelt so would print "www." before it).
    EXPECT_EQ(outside::ExtractCardFields({L("wwwbuffetbrunau.com.br", 20)}, "BR").web,
              "www.buffetbrunau.com.br");
    // Another country's ending, or one with too little before it, is left alone.
    EXPECT_TRUE(outside::ExtractCardFields({L("priya@apexconsultin", 21)}, "BR").emails.empty());
    EXPECT_TRUE(outside::ExtractCardFields({L("ana@bsin", 21)}, "IN").emails.empty());
}

TEST(CardFieldRules, ACompanyDrawnLargeOverTwoLines) {
    // Lettering read in a picture block, one line without descenders over one with them: the largest
    // print is the company, and the line just above it in its block the company's first word.
    // `text` in the block of picture lettering, its top at `top`.
    const auto drawn = [](const std::string& text, int height, int top) {
        outside::LayoutLine line = L(text, height, 5);
        line.top = top, line.bottom = top + height;
        return line;
    };
    const outside::LayoutLine upper = drawn("selva", 52, 5000), lower = drawn("digitals", 66, 5090);
    outside::CardFields card = outside::ExtractCardFields(
        {L("Selva", 32), L("DATA MANAGER", 21), L("+123-456-7890", 22, 1), L("hello@XYZ1.com", 25, 2),
         L("123 ABC St., Chennai,", 25, 3), L("TamilNadu 600113", 23, 3), upper, lower},
        "IN");
    EXPECT_EQ(card.full_name, "Selva");
    EXPECT_EQ(card.organisation, "selva digitals");
    // A line far smaller above it is another line of the card, not part of the name.
    card = outside::ExtractCardFields(
        {L("Selva", 32), L("DATA MANAGER", 21), drawn("smaller print", 30, 5040), lower}, "IN");
    EXPECT_EQ(card.organisation, "digitals");
    // A trade's name read surely runs on to a line in its print read less surely.
    card =
        outside::ExtractCardFields({L("MECÂNICA, FUNILARIA E PINTURA", 136, 1),
                                    Doubtful(L("FLÁVIO E VALDEQUE", 142, 1), 65), L("TF 2681-7485", 263, 7)},
                                   "BR");
    EXPECT_EQ(card.organisation, "MECÂNICA, FUNILARIA E PINTURA FLÁVIO E VALDEQUE");
    // Cut a pixel further in, the second line's box stood a fifth taller: still the trade's, no person.
    card =
        outside::ExtractCardFields({L("MECÂNICA, FUNILARIA E PINTURA", 136, 1),
                                    Doubtful(L("FLÁVIO E VALDEQUE", 166, 1), 86), L("TF 2681-7485", 263, 7)},
                                   "BR");
    EXPECT_EQ(card.full_name, "");
    EXPECT_EQ(card.organisation, "MECÂNICA, FUNILARIA E PINTURA FLÁVIO E VALDEQUE");
    // On a band: the band's edges read as signs around the name, its box the band's height, and the
    // line under it laid out in a block of its own.
    const outside::LayoutLine band = L("- MECÂNICA, FUNILARIA E PINTURA —", 207, 1);
    outside::LayoutLine owner = L("FLÁVIO, E VALDEQUE", 166, 2);
    owner.top = band.bottom - 9, owner.bottom = owner.top + owner.height;
    card = outside::ExtractCardFields({band, owner, L("TF 2684-7485", 301, 9)}, "BR");
    EXPECT_EQ(card.full_name, "");
    EXPECT_EQ(card.organisation, "MECÂNICA, FUNILARIA E PINTURA FLÁVIO, E VALDEQUE");
    // Without the band's edges read, the box is the print's: a line a fifth smaller under it is its own.
    outside::LayoutLine plain = band;
    plain.text = "MECÂNICA, FUNILARIA E PINTURA";
    card = outside::ExtractCardFields({plain, owner}, "BR");
    EXPECT_EQ(card.organisation, "MECÂNICA, FUNILARIA E PINTURA");
}

TEST(CardFieldRules, AGivenNameInCapitalsJustAboveATitleReadLast) {
    // As a card read: the title, teal on dark, came from a row read again after the page's own lines,
    // its box (with descenders) higher than the name's in capitals.
    const auto at = [](const std::string& text, int height, int left, int top, int right, int block) {
        outside::LayoutLine line;
        line.text = text, line.height = height, line.block = block;
        line.left = left, line.top = top, line.right = right, line.bottom = top + height;
        return line;
    };
    std::vector<outside::LayoutLine> lines = {at("REVANTH", 42, 725, 71, 987, 0),
                                              at("123 ABC St., HYDRABAD, TamilNadu,", 22, 470, 294, 894, 1),
                                              at("600001", 19, 644, 329, 720, 1),
                                              at("+91-456-1234", 25, 673, 366, 886, 2),
                                              at("hello@CHRISTMAS.com", 29, 508, 431, 873, 2),
                                              at("Marketing Executive", 46, 633, 135, 964, 5)};
    outside::CardFields card = outside::ExtractCardFields(lines, "IN");
    EXPECT_EQ(card.full_name, "REVANTH");
    EXPECT_EQ(card.title, "Marketing Executive");
    // Nor is the company the card's domain spells (its legal form read elsewhere: "田村 AG", a name
    // misread), or a piece of a name cut out mid-word, or a word far above the title.
    std::vector<outside::LayoutLine> company = lines;
    company[0].text = "CHRISTMAS";
    company.push_back(at("Yule AG", 30, 500, 500, 800, 3));
    EXPECT_EQ(outside::ExtractCardFields(company, "IN").full_name, "");
    lines[0].text = "do Nogue";
    EXPECT_EQ(outside::ExtractCardFields(lines, "IN").full_name, "");
    lines[0] = at("REVANTH", 42, 725, 0, 987, 0);
    lines[5].top = 300, lines[5].bottom = 346;
    EXPECT_EQ(outside::ExtractCardFields(lines, "IN").full_name, "");
}

TEST(CardFieldRules, CompaniesNamedByTheirTradeAndNamesMendedFromPrint) {
    // No legal form: the company is named by its trade (and is no person's name), the name was read
    // letter-spaced, the e-mail names a desk.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Tel.", 20, 1), L("+48 12 345 67 89", 20, 1), L("An na Kowalczyk", 42, 1),
         L("biuro@kowalczyk.pl", 26, 2), L("Księgowa", 32, 3), L("ul. Floriańska 15", 19, 4),
         L("31-019 Kraków", 21, 4), L("Biuro Rachunkowe Kowalczyk", 30, 5)},
        "PL");
    EXPECT_EQ(card.full_name, "Anna Kowalczyk");
    EXPECT_EQ(card.organisation, "Biuro Rachunkowe Kowalczyk");
    EXPECT_EQ(card.emails, std::vector<std::string>{"biuro@kowalczyk.pl"});

    // The e-mail's small print confused h for n, and m for rn; the name in large print says which. A part
    // that differs by more than such a confusion stays as read, and a slogan is no company.
    card =
        outside::ExtractCardFields({L("Innovation in Digital Solutions", 30), L("Jihoon Park", 40),
                                    L("jinoon.park@daeguvision.kr", 16), L("hanna.park@daeguvision.kr", 16)},
                                   "KR");
    EXPECT_EQ(card.emails,
              (std::vector<std::string>{"jihoon.park@daeguvision.kr", "hanna.park@daeguvision.kr"}));
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    card = outside::ExtractCardFields({L("Emma Hahn", 40), L("ernma.hahn@daeguvision.kr", 16)}, "KR");
    EXPECT_EQ(card.emails, std::vector<std::string>{"emma.hahn@daeguvision.kr"});

    // Lost marks put back where no other reading is possible: a German sharp s, an Estonian legal form.
    card = outside::ExtractCardFields({L("Baltic Imaging OU", 30), L("Laura Becker", 40),
                                       L("FriedrichstraBe 112", 18, 1), L("10117 Berlin", 18, 1)},
                                      "DE");
    EXPECT_EQ(card.organisation, "Baltic Imaging OÜ");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"Friedrichstraße 112", "10117 Berlin"}));
    // A Canadian postal code's letters and digits put back by their place after the province.
    card = outside::ExtractCardFields(
        {L("Rachel Thompson", 40), L("200 Bay Street", 18, 1), L("Toronto, ON M5) 2j2", 18, 1)}, "CA");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"200 Bay Street", "Toronto, ON M5J 2J2"}));
}

TEST(CardFieldRules, PhotographedShopCardsGiveNoInventedField) {
    // A logo read as letters, running text in capitals, a remark in small print: no name, no company.
    // The number after "CEP" is a postal code; a local number listed after a whole one shares its area
    // code.
    outside::CardFields card = outside::ExtractCardFields(
        {Doubtful(L("Ryn Ulead a Geshe", 76), 14), L("ALUGUEL DE VESTIDOS PARA NOIVAS", 22, 1),
         L("MADRINHAS E FORMANDAS", 23, 1), L("ALUGUEL DE TRAJES PARA NOIVOS", 22, 1),
         L("PADRINHOS E NOIVINHOS", 23, 1), L("ORÇAMENTO SEM COMPROMISSO", 17, 2),
         L("Fones 11 2082-2399 | 2646-6123", 27, 2), L("RUA PADRE JOÃO, 331 - PENHA - SP", 21, 3),
         L("CEP: 03637-000 - (PRÓX. AO SHOPPING PENHA)", 24, 3)},
        "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[0].number, "+55 11 2082-2399");
    EXPECT_EQ(card.telephones[1].number, "+55 11 2646-6123");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"RUA PADRE JOÃO, 331 - PENHA - SP",
                                                            "CEP: 03637-000 - (PRÓX. AO SHOPPING PENHA)"}));

    // Opening hours are no name and the trade alone no company; a trade described in capitals with a job
    // word ("ASSISTÊNCIA") is no title; a logo's mark before the company goes.
    card = outside::ExtractCardFields({L("RESTAURANTE", 35), L("Segunda à Sábado", 37, 1)}, "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    card = outside::ExtractCardFields(
        {L(", CEASTEC S/C LTDA.", 124), L("ASSISTÊNCIA TÉCNICA EM GERAL", 98, 1), L("ELETRÔNICA", 141, 2)},
        "BR");
    EXPECT_EQ(card.organisation, "CEASTEC S/C LTDA.");
    EXPECT_TRUE(card.title.empty()) << card.title;
    // The same trade with the accents lost to recognition is no title either.
    card = outside::ExtractCardFields({L("ASSISTENCIA TECNICA EM GERAL", 73), L("ELETRONICA", 106, 1)}, "BR");
    EXPECT_TRUE(card.title.empty()) << card.title;

    // A company's lettering read doubtfully is no name, however name-shaped; a radio's ID under a number
    // starts no address; a state's "SP" between dashes is no legal form.
    card = outside::ExtractCardFields(
        {Doubtful(L("ATI TBO SOCORRO", 168), 51), L("OLIVEIRA", 62), L("Nex tel 9.4000-4 561", 95, 7),
         Doubtful(L("( ID. 35’ 65º ‘43262", 68, 7), 51), L("Jd. Samara - SP - . (Travessa da", 56, 8)},
        "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;
    EXPECT_TRUE(card.address_lines.empty()) << card.address_lines.front();
    // A street named after a person, the rest of its address read apart, is no name, nor is an avenue's
    // whose number was lost.
    card = outside::ExtractCardFields(
        {L("MECÂNICA, FUNILARIA E PINTURA", 185), L("Rua Antonio Carneiro", 88, 9), L("Jd.", 54, 9)}, "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    card = outside::ExtractCardFields(
        {L("| EASTER CEASTEC S/C LTDA.", 46, 1), L("ASSISTÊNCIA TÉCNICA EM GERAL", 36, 1),
         L("ELETRÔNICA", 52, 2), L("TV - SOM - COMPUTADOR - FILMADORA", 26, 3),
         Doubtful(L("@ 2651-9589", 35, 6), 54), L("Trabalhamos com toda:", 27, 6),
         L("Av. Waldemar Carlos Pereii", 29, 6)},
        "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    // Nor is a line cut short after its "and", the shop's owners' names half read.
    card = outside::ExtractCardFields(
        {L("MECÂNICA, FUNILARIA E PINTURA", 44), L("FLÁVIO E", 61),
         L("Pequenos Consertos em Parachoque", 25, 3), Doubtful(L("@ 2684-7485", 77, 7), 78)},
        "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
    // A company's lettering half read ("BELTIS IT" lost) names no company, trade word or not.
    card = outside::ExtractCardFields(
        {L("Daniel Carlos", 86), Doubtful(L("RT Solutions,", 66, 7), 62), L("(11) 2076 5555", 55, 7)}, "BR");
    EXPECT_EQ(card.full_name, "Daniel Carlos");
    EXPECT_TRUE(card.organisation.empty()) << card.organisation;

    // "Cep" before a Turkish mobile number is its label, not a postal code's.
    card = outside::ExtractCardFields({L("Ayşe Yılmaz", 40), L("Cep 0532 123 45 67", 18)}, "TR");
    ASSERT_EQ(card.telephones.size(), 1u);
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_EQ(card.telephones[0].number, "+90 532 123 45 67");

    // A company's name in two sizes, whole as its web domain spells it; the e-mail's provider names no
    // company.
    card = outside::ExtractCardFields({L("Brunau", 51), L("Buffet eventos", 88), L("(11) 9933-6564", 25, 1),
                                       L("www.brunaubuffet.com.br", 35, 2), L("brunau@r7.com", 27, 2)},
                                      "BR");
    EXPECT_EQ(card.organisation, "Brunau Buffet eventos");

    // The "@" read as "(D"; a postal code after its label among the address's parts, its O read as 0, the
    // ordinal after the floor's number read as a degree sign.
    card = outside::ExtractCardFields(
        {L("Renan Beato", 81), L("Gerente de Negócios", 66), L("rbeato(Dalertasecurity.com.br", 83, 1),
         L("11 99176-1552", 56, 1), L("Rua Boa Vista, 254 | 17° and", 57, 2),
         L("Cep O1014-0OO | Centro | São Paulo | SP", 60, 2)},
        "BR");
    EXPECT_EQ(card.emails, std::vector<std::string>{"rbeato@alertasecurity.com.br"});
    ASSERT_EQ(card.telephones.size(), 1u);
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"Rua Boa Vista, 254 | 17º and",
                                                            "Cep 01014-000 | Centro | São Paulo | SP"}));
}

TEST(CardFieldRules, ShopOwnersNamedSmallOrTwoToACard) {
    // The owner printed smaller than most lines, over the owner's own number.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Brunau", 51), L("Buffet eventos", 88), L("José Carlos", 22, 1), L("(11) 9933-6564", 25, 1),
         L("www.brunaubuffet.com.br", 35, 2), L("brunau@r7.com", 27, 2)},
        "BR");
    EXPECT_EQ(card.full_name, "José Carlos");
    // Two people parted by a slash; a logo read half sure, in huge print, sets no size a name must reach.
    card =
        outside::ExtractCardFields({Doubtful(L("níroles o ibe Bv, NET.", 157), 61),
                                    L("Eliete / Ana Paula", 61, 5), Doubtful(L("Tel:2685/2862", 70, 6), 0)},
                                   "BR");
    EXPECT_EQ(card.full_name, "Eliete / Ana Paula");
    // A shop's trade in capitals, larger, is no one's name; a number whose dash was read as a colon is one.
    card = outside::ExtractCardFields(
        {L("PLS E BATERIAS PITEL", 156), L("Eliete / Ana Paula", 61, 5), L("Tel:2685:2862", 70, 6)}, "BR");
    EXPECT_EQ(card.full_name, "Eliete / Ana Paula");
    ASSERT_EQ(card.telephones.size(), 1u);
    EXPECT_EQ(card.telephones[0].number, "2685-2862");
    // A line read half sure, in a box round more than its print, sets no size a name must reach.
    card = outside::ExtractCardFields(
        {Doubtful(L("AV BO SOCORRO", 98), 60), L("R. OLIVEIRA", 61),
         Doubtful(L("Acellames os cartões", 81, 1), 52), L("Nextel 9.4000-4561", 136, 2)},
        "BR");
    EXPECT_EQ(card.full_name, "R. OLIVEIRA");
    // Labels parted so are no one's name.
    card = outside::ExtractCardFields({L("Tel / Fax", 40), L("Maria Lima", 36, 1)}, "BR");
    EXPECT_EQ(card.full_name, "Maria Lima");
    // The owner signing a number after a slash; a shop's name after a dash, and a label or a carrier after a
    // slash, are no one's.
    card = outside::ExtractCardFields({L("11 2785-4545 | 2783-6958 - ID 45*8*12146 / Valdeci", 24)}, "BR");
    EXPECT_EQ(card.full_name, "Valdeci");
    card = outside::ExtractCardFields({L("eR. Pinhal, 283 - Tel/Fax: 2131-3400 - Patricauto", 48),
                                       L("Tel: 2131-3400 / Fax", 48), L("9.8697-6934 / Vivo", 48)},
                                      "BR");
    EXPECT_TRUE(card.full_name.empty()) << card.full_name;
}

TEST(CardFieldRules, LocalNumbersKeptAsPrintedNeverGivenAGuessedAreaCode) {
    // Numbers without their area code, labelled or in a telephone's print, stay as printed; an icon read
    // as a letter before one is no label. Postal codes, dates and house numbers are no telephones.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Eletrônica ADACHI Ltda.", 86), L("2294-9484", 76, 1), L("9.9679-9468", 75, 1),
         L("Tel: 2685-2862", 30, 2), L("Av. Itaquera, 3006 Antigo 2806; Sala 6 Jardim Fernades - SP", 50, 3),
         L("CEP 03637-000", 30, 3), L("Aberto desde 12.05.2024", 30, 4), L("03564-040", 30, 4)},
        "BR");
    std::vector<std::string> numbers;
    for (const outside::Telephone& tel : card.telephones) numbers.push_back(tel.number);
    EXPECT_EQ(numbers, (std::vector<std::string>{"2294-9484", "9.9679-9468", "2685-2862"}));
    for (const std::string& number : numbers) EXPECT_EQ(number.find('+'), std::string::npos) << number;
    // Typed as the numbering plan types them in any of the region's areas: a mobile one, a fixed one.
    EXPECT_EQ(card.telephones[0].type, "WORK,VOICE");
    EXPECT_EQ(card.telephones[1].type, "CELL");

    // Digits alone (a logo's "1000", half a number) start no address; a postal code alone carries one on.
    card =
        outside::ExtractCardFields({L("DESPACHANTE", 90), L("1000", 382, 1), L("(11) 2684", 116, 2)}, "BR");
    EXPECT_TRUE(card.address_lines.empty()) << card.address_lines.front();
    card = outside::ExtractCardFields({L("123 ABC St., HYDRABAD, TamilNadu,", 22), L("600001", 19)}, "IN");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"123 ABC St., HYDRABAD, TamilNadu,", "600001"}));

    // The area code is shared within the line of a whole number, and a fax after "Fax:" keeps its type; a
    // number a line's height further down is another listing.
    card =
        outside::ExtractCardFields({L("Pabx:(11) 2131-3400 - Fax: 2131-3418", 40), L("3854-7828", 40)}, "BR");
    ASSERT_EQ(card.telephones.size(), 3u);
    EXPECT_EQ(card.telephones[1].number, "+55 11 2131-3418");
    EXPECT_EQ(card.telephones[1].type, "FAX");
    EXPECT_EQ(card.telephones[2].number, "3854-7828");
    // Stacked right under a whole number, as a shop card lists its second line, it shares the code.
    outside::LayoutLine first = L("Tel: (11) 2684-7988", 86), second = first;
    first.left = 876, first.top = 687, first.right = 1780, first.bottom = 775;
    second.text = "3854-7828";
    second.left = 1278, second.top = 804, second.right = 1760, second.bottom = 872;
    card = outside::ExtractCardFields({first, second}, "BR");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[1].number, "+55 11 3854-7828");
    // As well where the whole number was read after it (a row read again alone), in a box reaching down
    // over it.
    first.top = 578, first.bottom = 884;
    card = outside::ExtractCardFields({second, first}, "BR");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[0].number, "+55 11 3854-7828");
    second.left = 0, second.right = 800;  // in another column
    card = outside::ExtractCardFields({first, second}, "BR");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[1].number, "3854-7828");

    // A mobile number printed before Brazil's mobiles took their ninth digit is a mobile one, as printed;
    // a fixed one, or one of the old range's other services, stays a work number.
    card = outside::ExtractCardFields(
        {L("(11) 9933-6564", 25), L("(11) 2747-8430", 25), L("11 6909-6968", 25)}, "BR");
    ASSERT_EQ(card.telephones.size(), 3u);
    EXPECT_EQ(card.telephones[0].number, "+55 1199336564");
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_EQ(card.telephones[1].type, "WORK,VOICE");
    EXPECT_EQ(card.telephones[2].type, "WORK,VOICE");
}

TEST(CardFieldRules, AJapaneseCardAsRecognitionReadIt) {
    // Labels and legal form in Japanese, the postal mark read as a "T", the family name first.
    const outside::CardFields card = outside::ExtractCardFields(
        {L("CONTOSO", 123), L("営業部 部長", 48, 1), L("田村 大輝", 123, 2), L("株式会社コントーソ", 45, 3),
         L("T 108-0075 東京都港区港南 2-16-3", 65, 4), L("携帯: 070-1234-5678 電話 : 03-8765-4321", 49, 4),
         L("daiki.tamura@contoso.com", 51, 4), L("https://www.contoso.co.jp/", 61, 4)},
        "JP");
    EXPECT_EQ(card.organisation, "株式会社コントーソ");
    EXPECT_EQ(card.full_name, "田村 大輝");
    EXPECT_EQ(card.family_name, "田村");
    EXPECT_EQ(card.given_name, "大輝");
    EXPECT_EQ(card.title, "営業部 部長");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_EQ(card.telephones[0].number, "+81 70-1234-5678");
    EXPECT_EQ(card.telephones[1].type, "WORK,VOICE");
    EXPECT_EQ(card.telephones[1].number, "+81 3-8765-4321");
    EXPECT_EQ(card.address_lines, std::vector<std::string>{"〒108-0075 東京都港区港南 2-16-3"});
}

TEST(CardFieldRules, WhatALineOfContactsGivesAsRead) {
    // Worth a second reading: a label before digits, a '+', an '@', "www", a run of digits. An address, a
    // verse's reference or a name is not.
    for (const char* line : {"Nex tel 9.4000-4 561", "T. 2S4", "+44-20-79.46-0958", "ricknoo39@gmail.com",
                             "www. neocode. io", "2294-9284 DA", "E-mail: sonaocasaúbol."})
        EXPECT_TRUE(outside::LooksLikeContactLine(line)) << line;
    for (const char* line : {"Marcos 9:23", "Rua Boa Vista, 254", "Ricardo Nogueira", "Tel"})
        EXPECT_FALSE(outside::LooksLikeContactLine(line)) << line;

    // A number split by a misread blank parses no more; a local one printed as telephones are does.
    EXPECT_EQ(outside::ContactEvidence("Nex tel 9.4000-4 561", "BR").telephones, 0);
    EXPECT_EQ(outside::ContactEvidence("Nextel 9.4000-4561", "BR").telephones, 1);
    EXPECT_EQ(outside::ContactEvidence("Tel/Fax: 5067-199’", "BR").telephones, 0);
    // A number with its area code (or after one on its line) is dialled as printed; a local one is not.
    EXPECT_EQ(outside::ContactEvidence("Pabx:(11) 2131-3400 Fax: 2131-3418", "BR").dialled, 2);
    EXPECT_EQ(outside::ContactEvidence("Nextel 9.4000-4561", "BR").dialled, 0);
    // A number after a '+' is the card's even where no plan knows it (a sample card's), as its telephones
    // keep it; it is dialled by none.
    const outside::ContactCount sample = outside::ContactEvidence("+1-555-123-4567", "US");
    EXPECT_EQ(sample.telephones, 1);
    EXPECT_EQ(sample.dialled, 0);
    // A '+' before digits too few for a telephone makes no number (a radio ID's "35*65*43262" read
    // "35°65+43262").
    EXPECT_EQ(outside::ContactEvidence("(DID, 35°65+43262", "BR").telephones, 0);
    // Two numbers and an address on one line, each counted; a misread "@" still gives the address.
    const outside::ContactCount both =
        outside::ContactEvidence("Cel.: 11 99884-8929 e-mail: guina(D8tabeliao.not.br", "BR");
    EXPECT_EQ(both.telephones, 1);
    EXPECT_EQ(both.emails, 1);
    // An "@" read as a letter leaves a domain-shaped word: a web address, no e-mail.
    const outside::ContactCount lost = outside::ContactEvidence("rncknog39dgmail.com", "BR");
    EXPECT_EQ(lost.emails, 0);
    EXPECT_EQ(lost.webs, 1);
    // The number on the e-mail's line is the card's too, typed by its label.
    const outside::CardFields card = outside::ExtractCardFields(
        {L("Aguinaldo M. Righetti Jr.", 40), L("Cel.: 11 99884-8929 e-mail: guina(D8tabeliao.not.br", 20)},
        "BR");
    EXPECT_EQ(card.emails, std::vector<std::string>{"guina@8tabeliao.not.br"});
    ASSERT_EQ(card.telephones.size(), 1u);
    EXPECT_EQ(card.telephones[0].number, "+55 11 99884-8929");
    EXPECT_EQ(card.telephones[0].type, "CELL");
    EXPECT_TRUE(card.address_lines.empty());
    // A row read twice gives its number once; one number under two labels is both.
    const outside::CardFields twice = outside::ExtractCardFields(
        {L("ae (11) 2684-7988", 97, 1), L("Tel: (11) 2684-7988", 97, 1), L("Fax: (11) 2684-7988", 97, 2)},
        "BR");
    ASSERT_EQ(twice.telephones.size(), 2u);
    EXPECT_EQ(twice.telephones[0].type, "WORK,VOICE");
    EXPECT_EQ(twice.telephones[1].type, "FAX");
    // Read again without its label, a fax number is still the fax alone, not a voice line besides.
    const outside::CardFields fax = outside::ExtractCardFields(
        {L("Pabx:(11) 2131-3400 - Fax: 2131-3418", 30, 1), L("2131-3418", 30, 2)}, "BR");
    ASSERT_EQ(fax.telephones.size(), 2u);
    EXPECT_EQ(fax.telephones[1].number, "+55 11 2131-3418");
    EXPECT_EQ(fax.telephones[1].type, "FAX");
    // A row read twice gives its e-mail once, as read surer, whichever reading comes first; two rows two.
    const outside::LayoutLine sure = Doubtful(L("brunau@r7.com", 34), 91);
    outside::LayoutLine unsure = Doubtful(sure, 61);
    unsure.text = "brumau@r7.com";
    for (const auto& read : {std::vector{sure, unsure}, std::vector{unsure, sure}})
        EXPECT_EQ(outside::ExtractCardFields(read, "BR").emails, std::vector<std::string>{"brunau@r7.com"});
    EXPECT_EQ(
        outside::ExtractCardFields({L("ana@nord.example", 20), L("biuro@nord.example", 20)}, "PL").emails,
        (std::vector<std::string>{"ana@nord.example", "biuro@nord.example"}));
    // A letter recognition added to a mail service's name goes; a service one letter from another stays.
    EXPECT_EQ(outside::ExtractCardFields({L("dimariorestaurante@gqmail.com", 30)}, "BR").emails,
              std::vector<std::string>{"dimariorestaurante@gmail.com"});
    for (const char* email : {"ana@ymail.com", "ana@mail.com", "ana@gmai.com"})
        EXPECT_EQ(outside::ExtractCardFields({L(email, 30)}, "BR").emails, std::vector<std::string>{email});
    // A host no domain could have is no web address: a second reading that spells one wins.
    EXPECT_EQ(outside::ContactEvidence("https://www.contoso.co)P/", "JP").webs, 0);
    EXPECT_EQ(outside::ContactEvidence("https://www.contoso.co.jp/", "JP").webs, 1);
    // Without a region only a number with its country code is dialled.
    EXPECT_EQ(outside::ContactEvidence("T. +82.53.814.2465", "").telephones, 1);
    EXPECT_EQ(outside::ContactEvidence("Tel 0171 234567", "").telephones, 0);
}

}  // namespace

namespace {

TEST(CardFieldRules, ABrandPrintedLargeOverItsTrade) {
    outside::CardFields card =
        outside::ExtractCardFields({L("DOMÍNIO", 122), L("AUTO PEÇAS", 62, 1),
                                    L("Lojas: Av. Rio das Pedras, 1553 - Tel/Fax: 3123-0800", 48, 2)},
                                   "BR");
    EXPECT_EQ(card.organisation, "DOMÍNIO AUTO PEÇAS");
    // A car trade's name in the largest print is no person's, however name-shaped.
    card = outside::ExtractCardFields({L("AUTO SOCORRO", 145), L("R. OLIVEIRA", 62, 1)}, "BR");
    EXPECT_EQ(card.organisation, "AUTO SOCORRO");
    EXPECT_EQ(card.full_name, "R. OLIVEIRA");
    // A word in smaller print over the trade is no part of its name.
    card = outside::ExtractCardFields({L("Desde", 40), L("AUTO PEÇAS", 62, 1)}, "BR");
    EXPECT_EQ(card.organisation, "AUTO PEÇAS");
    // A logo's edge read as a sign after the trade is no part of it.
    card = outside::ExtractCardFields({L("Daniel Carlos", 132), L("IT Solutions |", 83, 1)}, "BR");
    EXPECT_EQ(card.organisation, "IT Solutions");
    // Nor is its registered sign, read as a quote glued to the trade under it.
    card = outside::ExtractCardFields({L("Daniel Carlos", 124), L("BELTIS", 82, 1),
                                       L("\"IT Solutions |", 82, 1), L("www.beltis.com.br", 55, 2)},
                                      "BR");
    EXPECT_EQ(card.organisation, "BELTIS IT Solutions");
    // A logo's name leaves room around it: up to its own height above the trade, not further.
    outside::LayoutLine brand = L("BELTIS", 83), trade = L("IT Solutions", 34, 1);
    for (const auto& [gap, organisation] :
         {std::pair<int, std::string>{60, "BELTIS IT Solutions"}, {90, "IT Solutions"}}) {
        trade.top = brand.bottom + gap, trade.bottom = trade.top + 34;
        EXPECT_EQ(outside::ExtractCardFields({brand, trade}, "BR").organisation, organisation) << gap;
    }
}

TEST(CardFieldRules, ShopAddressesPrintedBesideTheirNumbers) {
    // The street and the number share a line; a landmark under the street belongs to it, a motto's verse
    // with digits above it does not.
    outside::CardFields card = outside::ExtractCardFields(
        {L("Tudo é possível aquele que crê", 36), L("Marcos 9:23", 24), L("optica da jô", 134),
         L("Av. Itaquera, 2994 - Jd. Fernandes - SP ☎ 3569-6905", 56, 4),
         L("Próximo a Escola Astolfo", 46, 5), L("e-mail: oticadajo2014@hotmail.com", 66, 6)},
        "BR");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"Av. Itaquera, 2994 - Jd. Fernandes - SP",
                                                            "Próximo a Escola Astolfo"}));
    EXPECT_EQ(card.telephones.size(), 1u);
    // The icon read as two small letters goes too, and so does a misread label with its colon under the
    // address.
    card = outside::ExtractCardFields({L("Av. Itaquera, 2994 - Jd. Fernandes - SP qr 3569-6905", 56)}, "BR");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"Av. Itaquera, 2994 - Jd. Fernandes - SP"}));
    card = outside::ExtractCardFields(
        {L("T 108-0075 東京都港区港南 2-16-3", 65), L("HEP: 070-1234-5678 電話 : 03-8765-4321", 50)}, "JP");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"〒108-0075 東京都港区港南 2-16-3"}));

    // The town before the number on the line under the street, the extension after it left out.
    card = outside::ExtractCardFields({L("Aguinaldo M. Righetti Jr", 21),
                                       L("Rua 15 de Novembro, 193 - 1º andar - Centro - CEP 01013-001", 14),
                                       L("São Paulo- SP - Tel; 11.3241-0322 Ramal 240", 15)},
                                      "BR");
    EXPECT_EQ(card.address_lines,
              (std::vector<std::string>{"Rua 15 de Novembro, 193 - 1º andar - Centro - CEP 01013-001",
                                        "São Paulo- SP"}));
    EXPECT_EQ(card.telephones.size(), 1u);

    // Several shops, each with its number; the bullets read as an "e" or an "o" go, so does what follows a
    // number.
    card = outside::ExtractCardFields({L("Lojas: e Av. Rio das Pedras, 1553 - Tel/Fax: 3123-0800", 48),
                                       L("e Av. Sapopemba, 2449 - Tel/Fax: 2966-2550", 49),
                                       L("o Av. do Cursino, 2283 - Tel/Fax: 5067-1991", 49),
                                       L("eR. Pinhal, 283 - Tel/Fax: 2131-3400 - Patricauto", 48)},
                                      "BR");
    EXPECT_EQ(card.address_lines,
              (std::vector<std::string>{"Lojas: Av. Rio das Pedras, 1553", "Av. Sapopemba, 2449",
                                        "Av. do Cursino, 2283", "R. Pinhal, 283"}));
    EXPECT_EQ(card.telephones.size(), 4u);

    // The postal code after "CEP", the state at a line's end and the town on its own line are ADR parts;
    // the district stays in the street.
    card = outside::ExtractCardFields({L("Rua 15 de Novembro, 193 - Centro - CEP 01013-001", 14),
                                       L("São Paulo- SP - Tel; 11.3241-0322", 15)},
                                      "BR");
    EXPECT_EQ(Line(Unfolded(outside::VCard(card)), "ADR"),
              "ADR;TYPE=WORK:;;Rua 15 de Novembro\\, 193 - Centro;São Paulo;SP;01013-001;");
    card = outside::ExtractCardFields(
        {L("RUA PADRE JOÃO, 331 - PENHA - SP", 21), L("CEP: 03637-000 - (PRÓX. AO SHOPPING PENHA)", 24)},
        "BR");
    EXPECT_EQ(Line(Unfolded(outside::VCard(card)), "ADR"),
              "ADR;TYPE=WORK:;;RUA PADRE JOÃO\\, 331 - PENHA\\n(PRÓX. AO SHOPPING PENHA);;SP;03637-000;");

    // The town before a number whose icon is read as a letter, under the street with a stray mark between;
    // a word read without its accent takes the card's own spelling of it, capitals alike.
    card = outside::ExtractCardFields({L("Av. Cangaiba,2341- Cangaíba", 45, 4), Doubtful(L("—", 4, 4), 0),
                                       L("São Paulo, SP - B (11) 2642-5294", 32, 5),
                                       L("Rua Joao Pessoa, 12 Sao Paulo", 30, 6), L("JOÃO", 30, 7)},
                                      "BR");
    EXPECT_EQ(card.address_lines, (std::vector<std::string>{"Av. Cangaíba,2341- Cangaíba", "São Paulo, SP",
                                                            "Rua Joao Pessoa, 12 São Paulo"}));

    // A line read again alone gives its marks to the words it spells alike; a sign, other capitals, other
    // letters or another count of words give none.
    using outside::card_rules::MarksFrom;
    EXPECT_EQ(MarksFrom("Cep 01014-000 | Centro | Sao Paulo | SP", "Cep 01014-000 | Centro | São Paulo | SP"),
              "Cep 01014-000 | Centro | São Paulo | SP");
    EXPECT_EQ(MarksFrom("Rua Sao Bento, 17", "Rua SÃO Bento, 17°"), "Rua Sao Bento, 17");
    EXPECT_EQ(MarksFrom("Rua Joao Pessoa, 1325", "Rua João Pessoa, 1326"), "Rua João Pessoa, 1325");
    EXPECT_EQ(MarksFrom("Av. Sao Joao 12", "Av. São João, 12 B"), "Av. Sao Joao 12");

    // A slogan over the street in its block is no part of the address, though the house number under it
    // looks like a postal code.
    card = outside::ExtractCardFields({L("= 2651-9589", 86, 7), L("Trabalhamos com todas as marcas", 56, 8),
                                       L("Av. Waldemar Carlos Pereira, 1325 - Vila Talarico", 58, 8)},
                                      "BR");
    EXPECT_EQ(card.address_lines,
              (std::vector<std::string>{"Av. Waldemar Carlos Pereira, 1325 - Vila Talarico"}));

    // A number line that names no street and follows no address line gives no address.
    card = outside::ExtractCardFields({L("José Carlos", 40), L("Nextel 9.4000-4561", 30)}, "BR");
    EXPECT_TRUE(card.address_lines.empty()) << card.address_lines.front();
}

TEST(CardRegion, TheUsersLocaleOfTheCardsLanguageThenTheCardItselfTellItsCountry) {
    // The locale gives the country where it is of the card's language.
    EXPECT_EQ(outside::HomeRegion("PT", "pt_BR.UTF-8"), "BR");
    EXPECT_EQ(outside::HomeRegion("GR", "de_AT@euro"), "AT");
    EXPECT_EQ(outside::HomeRegion("EN", "en_IN"), "IN");
    EXPECT_EQ(outside::HomeRegion("PT", "en_US.UTF-8"), "PT");
    EXPECT_EQ(outside::HomeRegion("EN", "C.UTF-8"), "");

    using Texts = std::vector<std::string>;
    // The card's calling codes, domains and (Portuguese) Brazilian addresses outweigh it.
    EXPECT_EQ(outside::RegionOnCard(Texts{"LIDER FRIO", "Tel. +55 11 2747-8430"}, "PT"), "BR");
    EXPECT_EQ(outside::RegionOnCard(Texts{"E-mail: liderfrio@terra.com.br"}, "PT"), "BR");
    EXPECT_EQ(outside::RegionOnCard(Texts{"Av. Itaquera, 2994 - Jd. Fernandes - SP", "3569-6905"}, "PT"),
              "BR");
    EXPECT_EQ(outside::RegionOnCard(Texts{"Rua Augusta 10, 1100-053 Lisboa", "213 456 789"}, "PT"), "PT");
    EXPECT_EQ(outside::RegionOnCard(Texts{"www.maple.co.uk", "020 7946 0958"}, ""), "GB");
    // As many for the language's country as for another: the language's.
    EXPECT_EQ(outside::RegionOnCard(Texts{"+49 30 1234567", "info@firma.ch"}, "DE"), "DE");
    // A Brazilian state's letters on a card in another language are no address.
    EXPECT_EQ(outside::RegionOnCard(Texts{"Calle Mayor 5 - SP"}, "ES"), "ES");
}

TEST(CardFields, ACardWithNothingReadOnItIsNoContact) {
    // A game's card: its pattern read as a number, a short word, or nothing.
    EXPECT_TRUE(outside::NothingRead(outside::ExtractCardFields({L("400", 30)}, "")));
    EXPECT_TRUE(outside::NothingRead(outside::ExtractCardFields({L("OOM", 30)}, "")));
    EXPECT_TRUE(outside::NothingRead(outside::ExtractCardFields({}, "")));
    // A logo's lettering no field takes is still the card's text; a number alone is a telephone.
    EXPECT_FALSE(outside::NothingRead(outside::ExtractCardFields({L("DESPACHANIIE", 60)}, "BR")));
    EXPECT_FALSE(outside::NothingRead(outside::ExtractCardFields({L("Tel. 2747-8430", 30)}, "BR")));
}

}  // namespace
