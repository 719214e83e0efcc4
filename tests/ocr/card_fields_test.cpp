// The card program's field rules and its vCard writer, on recognised text given by hand.

#include <gtest/gtest.h>

#include <string>

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
