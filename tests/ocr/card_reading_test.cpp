// The card program's reading of a recognised page into its lines, on pages given by hand, and a few real
// card pictures read end to end.

#include "outside/zorvex/card_reading.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "outside/common/quads.h"
#include "outside/fasize/card_detector.h"
#include "outside/finecmd/both_engines.h"
#include "outside/finecmd/line_pictures.h"
#include "outside/finecmd/thread_limit.h"
#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_pictures.h"
#include "outside/zorvex/ink_rows.h"
#include "outside/zorvex/page_additions.h"
#include "outside/zorvex/reading_measures.h"
#include "outside/zorvex/row_reading.h"
#include "outside/zorvex/vcard.h"
#include "virtualcam/scenes/photo_files.h"

namespace {

outside::TextLine Words(const std::vector<std::pair<std::string, int>>& words, int height) {
    outside::TextLine line;
    for (const auto& [text, left] : words) {
        const int width = 20 * static_cast<int>(text.size());
        line.words.push_back({text, left, 100, left + width, 100 + height, 90});
    }
    return line;
}

std::vector<std::string> Texts(const std::vector<outside::LayoutLine>& lines) {
    std::vector<std::string> texts;
    for (const outside::LayoutLine& line : lines) texts.push_back(line.text);
    return texts;
}

TEST(CardLayout, IconsApartFromTheTextAreLeftOutAndAsianGlyphsJoined) {
    outside::PageText page;
    page.paragraphs.push_back({{
        // A pin icon read as "9" before the street, a stray rule after it.
        Words({{"9", 0}, {"123", 40}, {"ABC", 110}, {"St.,", 180}, {"|", 280}}, 30),
        // The ends of a number spaced as wide are its digits, not marks.
        Words({{"+90", 0}, {"212", 80}, {"345", 160}, {"67", 240}, {"89", 300}}, 30),
        // Glyphs close together make one word, a wide gap stays a blank; a name in Chinese characters
        // is no mark however short.
        Words({{"株", 0}, {"式", 64}, {"会", 128}, {"社", 192}}, 60),
        Words({{"田村", 0}, {"大輝", 200}}, 60),
        // A capital and a full stop as far before the name are its initial.
        Words({{"R.", 0}, {"OLIVEIRA", 70}}, 30),
    }});
    // Each glyph is three bytes, so its box is 60 wide: 4 and 8 pixels apart, then 80.
    EXPECT_EQ(Texts(outside::LayoutLines(page)),
              (std::vector<std::string>{"123 ABC St.,", "+90 212 345 67 89", "株式会社", "田村 大輝",
                                        "R. OLIVEIRA"}));
}

TEST(CardLayout, ATelephoneIconReadAsDigitsIsNoAreaCode) {
    // As the shop card read: "☎" read "42", unsure, far after the street and close before the number.
    const auto line = [](float icon_confidence, int icon_left) {
        outside::TextLine l;
        l.words = {{"Fernandes", 792, 844, 1118, 902, 93},
                   {"SP", 1188, 844, 1274, 900, 72},
                   {"42", icon_left, 846, icon_left + 76, 916, icon_confidence},
                   {"3569-6905", 1488, 842, 1946, 918, 92}};
        outside::PageText page;
        page.paragraphs.push_back({{l}});
        return Texts(outside::LayoutLines(page));
    };
    EXPECT_EQ(line(54, 1382), std::vector<std::string>{"Fernandes SP 3569-6905"});
    // Read surely, or printed close after the word before it, two digits are the number's.
    EXPECT_EQ(line(85, 1382), std::vector<std::string>{"Fernandes SP 42 3569-6905"});
    EXPECT_EQ(line(54, 1300), std::vector<std::string>{"Fernandes SP 42 3569-6905"});
}

TEST(CardLayout, ADashOrColonSetsNoColumnGap) {
    // As a photographed card read: dashes and a colon far lower than the words around them, the gaps
    // beside them wider than twice their height but well within the words'; a column further on.
    const auto word = [](const std::string& text, int left, int width, int height) {
        return outside::Word{text, left, 130 - height, left + width, 130, 90};
    };
    outside::PageText page;
    page.paragraphs.push_back({{
        {{word("Sul,", 0, 70, 35), word("132", 90, 60, 35), word("-", 190, 12, 5),
          word("Tatuape", 240, 140, 44), word("-", 420, 12, 5), word("São", 470, 70, 34),
          word("Paulo", 560, 100, 34)}},
        {{word("Tel", 0, 60, 35), word(":", 90, 6, 19), word("(11)", 130, 70, 46),
          word("99933-6564", 220, 200, 46), word("-", 440, 12, 5), word("Tatuape", 700, 140, 40)}},
    }});
    EXPECT_EQ(
        Texts(outside::LayoutLines(page)),
        (std::vector<std::string>{"Sul, 132 - Tatuape - São Paulo", "Tel : (11) 99933-6564 -", "Tatuape"}));
}

TEST(CardLayout, ARowPartedBetweenBlocksInsideAWordIsOneLineAgain) {
    // As the layout read a street over a coloured band: the row parted inside "Cangaiba", a column of
    // numbers further along the next row, a line in larger print just after a word of one block.
    const auto line = [](const std::string& text, int left, int right, int top, int height, int block) {
        outside::LayoutLine l;
        l.text = text, l.left = left, l.right = right, l.top = top, l.bottom = top + height;
        l.height = height, l.block = block, l.confidence = 90;
        return l;
    };
    std::vector<outside::LayoutLine> lines = {line("Av. Cangaiba,2341- Ca", 120, 544, 1135, 49, 3),
                                              line("ngaiba", 543, 683, 1144, 44, 4),
                                              line("São Paulo, SP", 77, 400, 1216, 32, 4),
                                              line("2642-5294", 420, 600, 1216, 32, 5),
                                              line("Di", 100, 160, 600, 40, 1),
                                              line("MARIO", 162, 400, 580, 80, 2)};
    outside::JoinRowsPartedBetweenBlocks(lines);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"Av. Cangaiba,2341- Cangaiba", "São Paulo, SP",
                                                      "2642-5294", "Di", "MARIO"}));
    EXPECT_EQ(lines[0].right, 683);
}

struct PixFree {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};

std::unique_ptr<Pix, PixFree> Picture(const std::string& name) {
    return std::unique_ptr<Pix, PixFree>(
        pixRead((std::string(VELLUMO_SOURCE_DIR) + "/tests/data/cards/" + name).c_str()));
}

TEST(CardLayout, ASecondReadingAddsOnlySureContactLinesWhereNothingWasRead) {
    const auto line = [](const std::string& text, int left, int top, float confidence) {
        outside::TextLine l;
        int x = left;
        for (size_t start = 0; start <= text.size();) {
            const size_t end = std::min(text.find(' ', start), text.size());
            const int width = 20 * static_cast<int>(end - start);
            l.words.push_back({text.substr(start, end - start), x, top, x + width, top + 30, confidence});
            x += width + 10;
            start = end + 1;
        }
        return l;
    };
    outside::PageText page;
    // The first reading: a name, a doubtful word over the band (it still marks the place as read), and
    // a blank "word" over a picture, which does not.
    page.paragraphs.push_back({{line("Ana Souza", 0, 0, 95), line("Tcl", 0, 100, 30)}});
    page.paragraphs.push_back({{outside::TextLine{{{" ", 0, 300, 800, 700, 95}}}}});
    outside::PageText again;
    again.paragraphs.push_back({{
        line("Tel: (11) 2747-8430", 0, 100, 92),             // over the doubtful word: not added
        line("Av. Itaquera, 2365 - São Paulo", 0, 400, 90),  // on the picture: added
        line("liderfrio@terra.com.br", 0, 450, 88),          // added
        line("LIDER FRIO", 0, 500, 93),                      // no contact line: a logo's lettering
        line("Rua 15 de Novembro, 193", 0, 550, 60),         // unsure
        line("Altair D'Auria 9", 0, 600, 91),                // one digit makes no contact line
        line("株 式 会 社 コ", 0, 650, 93),  // a company's legal form, read glyph by glyph: added
    }});
    outside::AddUnreadLines(page, again);
    ASSERT_EQ(page.paragraphs.size(), 3u);
    std::vector<std::string> added;
    for (const outside::TextLine& l : page.paragraphs.back().lines) added.push_back(outside::LineText(l));
    EXPECT_EQ(added, (std::vector<std::string>{"Av. Itaquera, 2365 - São Paulo", "liderfrio@terra.com.br",
                                               "株 式 会 社 コ"}));
}

TEST(CardLayout, LetteringOverAPictureIsAddedInReadingOrderOrReplacesAWorseReading) {
    const auto row = [](const std::string& text, int top, float confidence) {
        outside::TextLine line = Words({{text, 0}}, 30);
        for (outside::Word& w : line.words) w.top = top, w.bottom = top + 30, w.confidence = confidence;
        return line;
    };
    outside::PageText page;
    page.paragraphs.push_back({{row("Daniel", 0, 95)}});
    page.paragraphs.push_back({{row("PIT", 200, 85), row("(11) 2076 5555", 300, 49)}});
    page.pictures = {{0, 100, 600, 320}, {0, -10, 600, 40}};
    outside::AddLettering(
        page, {
                  row("BELTIS'", 120, 91),  // a logo's name: added before the line under it, its mark dropped
                  row("Solutions", 200, 92),    // surer than the reading there: takes its place
                  row("Daniela", 0, 91),        // less sure than the reading there: left out
                  row("Senhora", 235, 85),      // unsure
                  row("belts", 160, 95),        // starts in lower case: cut out of a word
                  row("Esteves", 400, 95),      // over no picture
                  row("Trabalhamos", 290, 96),  // over a number, however unsure: left out
              });
    std::vector<std::string> texts;
    for (const outside::LayoutLine& line : outside::LayoutLines(page)) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"Daniel", "BELTIS", "Solutions", "(11) 2076 5555"}));

    // A surer row replaces the reading of its own line only, not a word of larger print above whose box
    // reaches into it.
    outside::PageText big;
    big.paragraphs.push_back({{{{{"FLÁVIO", 0, 100, 300, 260, 88}}}}});
    big.paragraphs.push_back({{row("Pequenos", 250, 70)}});
    big.pictures = {{0, 90, 600, 300}};
    outside::AddLettering(big, {row("Pequenos", 250, 93)});
    texts.clear();
    for (const outside::LayoutLine& line : outside::LayoutLines(big)) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"FLÁVIO", "Pequenos"}));

    // A letter read surely of a logo's name is a piece of it, not a reading to weigh the row's against;
    // the name goes in over the line under it, though that line's row was put in first.
    outside::PageText logo;
    outside::TextLine read = row("E", 120, 96);
    for (outside::Word w : row("\"IT Solutions |", 200, 84).words) read.words.push_back(w);
    logo.paragraphs.push_back({{read}});
    logo.pictures = {{0, 100, 600, 320}};
    outside::AddLettering(logo, {row("IT Solutions", 200, 93), row("BELTIS'", 120, 92)});
    texts.clear();
    for (const outside::LayoutLine& line : outside::LayoutLines(logo)) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"BELTIS", "IT Solutions"}));

    // Lettering read less surely is taken where the card's domain spells it, not its e-mail's local part.
    for (const auto& [address, taken] : {std::pair<std::string, bool>{"chris.smith@contoso.com", true},
                                         {"contoso.smith@mail.com", false},
                                         {"https://www.contoso.com/", true}}) {
        outside::PageText card;
        card.paragraphs.push_back({{row(address, 400, 88)}});
        card.pictures = {{0, 100, 600, 320}};
        outside::AddLettering(card, {row("CONTOSO", 120, 85)});
        EXPECT_EQ(outside::LayoutLines(card).size(), taken ? 2u : 1u) << address;
    }
}

TEST(CardLayout, RowsOfLetterSizedInkAreLinesOfPrint) {
    // "Tel: (11) 2684-7988" as its marks, 20 pixels high, and under it an e-mail in smaller print.
    std::vector<outside::InkBox> marks;
    for (int i = 0; i < 12; ++i) marks.push_back({100 + 16 * i, 100 + (i % 3), 112 + 16 * i, 120 + (i % 3)});
    for (int i = 0; i < 10; ++i) marks.push_back({100 + 12 * i, 140, 109 + 12 * i, 154});
    // A photograph's grain: marks of letter size, but each at another height.
    for (int i = 0; i < 10; ++i)
        marks.push_back({100 + 20 * i, 300 + 25 * (i % 2), 112 + 20 * i, 318 + 25 * (i % 2)});
    // Five letters make no line, nor do marks too far apart or a large logo's shapes.
    for (int i = 0; i < 5; ++i) marks.push_back({500 + 16 * i, 100, 512 + 16 * i, 120});
    for (int i = 0; i < 8; ++i) marks.push_back({100 + 60 * i, 400, 112 + 60 * i, 420});
    for (int i = 0; i < 8; ++i) marks.push_back({100 + 130 * i, 500, 220 + 130 * i, 620});
    const std::vector<outside::InkRow> rows = outside::InkRows(marks);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].marks, 12);
    EXPECT_EQ(rows[0].box.left, 100);
    EXPECT_EQ(rows[0].box.right, 288);
    EXPECT_EQ(rows[0].height, 20);
    EXPECT_EQ(rows[1].marks, 10);
    EXPECT_EQ(rows[1].box.top, 140);

    // A script's run of letters leaning into the next run, taller (an "@" and ascenders), and letters
    // run together into one wide mark at its end: one line.
    std::vector<outside::InkBox> script;
    for (int i = 0; i < 6; ++i) script.push_back({100 + 14 * i, 100, 110 + 14 * i, 120});
    for (int i = 0; i < 6; ++i) script.push_back({172 + 14 * i, 96, 182 + 14 * i, 122});
    script.push_back({258, 98, 358, 122});
    const std::vector<outside::InkRow> one = outside::InkRows(script);
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].marks, 12);
    EXPECT_EQ(one[0].box.right, 358);

    // The rows were found on a copy half the card's size; the card's first reading got the e-mail (in
    // words twice as large), if doubtfully, and over the telephone only a picture's lettering read as
    // nonsense.
    outside::InkRow again = rows[0];
    again.marks = 9, again.source = 3;  // the same line, fainter in another channel
    outside::PageText page;
    page.paragraphs.push_back({{
        {{{"Mo", 200, 190, 260, 250, 20}, {"dieças", 280, 190, 560, 250, 30}}},
        {{{"flores@hotmail.corn", 200, 280, 440, 308, 58}}},
    }});
    const std::vector<outside::InkRow> unread = outside::UnreadRows({again, rows[1], rows[0]}, page, 2.0f);
    ASSERT_EQ(unread.size(), 1u);
    EXPECT_EQ(unread[0].marks, 12);
    EXPECT_EQ(unread[0].source, 0);

    // A name on a coloured band read surely over 45% of its row lost its first word, and the
    // row is read again; read over more than half, it was read.
    const outside::InkRow band{{100, 700, 300, 720}, 12, 20, 5};
    page.paragraphs.push_back({{{{{"do", 370, 1400, 420, 1440, 92}, {"Nogue", 430, 1400, 560, 1440, 92}}}}});
    EXPECT_EQ(outside::UnreadRows({band}, page, 2.0f).size(), 1u);
    page.paragraphs.back().lines[0].words.push_back({"ira", 565, 1400, 600, 1440, 92});
    EXPECT_TRUE(outside::UnreadRows({band}, page, 2.0f).empty());
}

TEST(CardLayout, SecondReadingsReplaceOnlyWhatParsesBetter) {
    // More numbers, as recognition read the two lines again alone and larger.
    EXPECT_TRUE(outside::SecondReadingWins("Nex tel 9.4000-4 561", "Nextel 9.4000-4561", "BR"));
    EXPECT_TRUE(outside::SecondReadingWins("e Av. do Cursino. 2283 - Tel/Fax: 5067-199’",
                                           "o Av. do Cursino, 2283 - Tel/Fax: 5067-1991", "BR"));
    // A reading that parses alike changes nothing, however sure: "guina" is right.
    EXPECT_FALSE(outside::SecondReadingWins("e-mail: guina(D8tabeliao.not.br",
                                            "e-mail: quina(D8tabeliao.not.br", "BR"));
    // An e-mail is not traded for a web address, nor a number lost for an address.
    EXPECT_FALSE(outside::SecondReadingWins("ricknoo39@gmail.com", "rncknog39dgmail.com", "BR"));
    EXPECT_FALSE(outside::SecondReadingWins("Tel: 2294-9484", "Tel: 2294-94 liderfrio@terra.com.br", "BR"));
}

outside::PageText Page(int lines, const std::string& text, float confidence) {
    outside::PageText page;
    page.paragraphs.emplace_back();
    for (int i = 0; i < lines; ++i)
        page.paragraphs.back().lines.push_back({{{text, 0, 40 * i, 400, 40 * i + 30, confidence}}});
    return page;
}

TEST(CardLayout, ALocalThresholdReplacesOnlyAThinReading) {
    // An orange card whose first reading got one line (16 sure letters) and the local threshold's all
    // six, sure.
    const outside::PageText thin = Page(1, "Tudo é possível àquele", 92);
    const outside::PageText six = Page(6, "Av. Itaquera, 2994 - SP", 88);
    EXPECT_TRUE(outside::ThinReading(thin));
    EXPECT_TRUE(outside::LocalReadingWins(thin, six));
    // Over a photograph: as many letters, but most of them doubtful grain.
    outside::PageText grainy = Page(6, "Av. Itaquera, 2994 - SP", 90);
    const outside::PageText grain = Page(8, "ee ae rr oa", 20);
    for (const outside::TextLine& line : grain.paragraphs.front().lines)
        grainy.paragraphs.front().lines.push_back(line);
    EXPECT_FALSE(outside::LocalReadingWins(thin, grainy));
    // A first reading that got the card is kept whatever the second got.
    const outside::PageText three = Page(3, "Av. Itaquera, 2994 - SP", 90);
    EXPECT_FALSE(outside::ThinReading(three));
    EXPECT_FALSE(outside::LocalReadingWins(three, Page(12, "Av. Itaquera, 2994 - SP", 95)));
    // Some more is not enough.
    EXPECT_FALSE(outside::LocalReadingWins(thin, Page(2, "Av. Itaquera, 2994 - SP", 95)));
}

TEST(CardLayout, AReadingThatGotLittleSurelyIsDoubtedTheOtherWayUp) {
    // Upside down: nonsense, read unsurely.
    EXPECT_TRUE(outside::WayUpInDoubt(Page(6, "oʇnbɐ ssod", 40)));
    // Doubtful on the whole (a photograph's grain read as letters), but two lines read surely: upright.
    outside::PageText upright = Page(8, "ee ae rr oa", 20);
    for (int i = 0; i < 2; ++i)
        upright.paragraphs.back().lines.push_back({{{"Av. Itaquera, 2994 - SP", 0, 400, 400, 430, 95}}});
    EXPECT_FALSE(outside::WayUpInDoubt(upright));
    // One line read surely is enough (print upside down reads as nonsense, at 85 at best); a mark read
    // surely, or a line at 85, is not.
    upright.paragraphs.back().lines.pop_back();
    EXPECT_FALSE(outside::WayUpInDoubt(upright));
    upright.paragraphs.back().lines.back().words.back().text = "|";
    EXPECT_TRUE(outside::WayUpInDoubt(upright));
    upright.paragraphs.back().lines.back().words.back() = {"HSOHLNVS 6068", 0, 400, 400, 430, 85};
    EXPECT_TRUE(outside::WayUpInDoubt(upright));
    EXPECT_FALSE(outside::WayUpInDoubt(Page(3, "Av. Itaquera, 2994 - SP", 90)));
}

TEST(CardLayout, TheStretchedReadingReadsOnlyTheLinesWhereNothingWasRead) {
    // Words `height` 30 at x = 0, 200, 400... on a line at `top`.
    const auto line = [](int top, int words) {
        outside::TextLine l;
        for (int i = 0; i < words; ++i) l.words.push_back({"", 200 * i, top, 200 * i + 150, top + 30, 0});
        return l;
    };
    outside::PageText read;
    read.paragraphs.push_back({{outside::TextLine{{{"Ana Souza", 0, 0, 300, 30, 95}}},
                                outside::TextLine{{{"Tcl", 0, 100, 60, 130, 30}}},
                                outside::TextLine{{{" ", 0, 300, 800, 700, 95}}}}});
    outside::PageText layout;
    // A line over the name's end, one over the doubtful word: read. Two over the blank "word" (no print).
    layout.paragraphs.push_back({{line(0, 3), line(100, 2)}});
    layout.paragraphs.push_back({{line(400, 2), line(480, 4)}});
    std::vector<outside::InkBox> areas = outside::UnreadAreas(layout, read, 1000, 600);
    ASSERT_EQ(areas.size(), 1u);
    // The two lines (0,400 to 750,510) and a margin of an eighth of their height, within the picture:
    // read alone, each with half its height around it, they would cover most of that.
    EXPECT_EQ(areas[0].left, 0);
    EXPECT_EQ(areas[0].top, 400 - 13);
    EXPECT_EQ(areas[0].right, 750 + 13);
    EXPECT_EQ(areas[0].bottom, 510 + 13);
    // Where every line was read there is nothing to read again.
    layout.paragraphs.pop_back();
    EXPECT_TRUE(outside::UnreadAreas(layout, read, 1000, 600).empty());
    // Lines far apart (a corner's and the opposite one's) are read each alone, top first; a line beside
    // another's margin joins it.
    layout.paragraphs.push_back({{line(540, 1)}});
    layout.paragraphs.back().lines[0].words[0].left = 800,
    layout.paragraphs.back().lines[0].words[0].right = 950;
    layout.paragraphs.push_back({{line(200, 1), line(240, 1)}});
    areas = outside::UnreadAreas(layout, read, 1000, 600);
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].top, 200 - 15);
    EXPECT_EQ(areas[0].bottom, 270 + 15);
    EXPECT_EQ(areas[0].right, 150 + 15);
    EXPECT_EQ(areas[1].left, 800 - 15);
    EXPECT_EQ(areas[1].bottom, 570 + 15);
    // The layout's pictures and rules (the card's edge, a logo behind the name read) hold no line: with no
    // line unread nothing is read; beside one, those clear of the words read are read with it.
    outside::PageText edges;
    edges.pictures = {{990, 0, 1000, 600}, {0, 0, 400, 40}};
    EXPECT_TRUE(outside::UnreadAreas(edges, read, 1000, 600).empty());
    edges.paragraphs.push_back({{line(200, 1)}});
    areas = outside::UnreadAreas(edges, read, 1000, 600);
    ASSERT_EQ(areas.size(), 2u);
    EXPECT_EQ(areas[0].left, 990 - 300);
    EXPECT_EQ(areas[1].top, 200 - 15);
}

TEST(CardLayout, TheStretchedReadingIsReducedOnlyByPrintReadWell) {
    // Six lines of "text" in words `height` pixels high, read with `confidence`.
    const auto page = [](const std::string& text, int height, float confidence) {
        outside::PageText out;
        out.paragraphs.emplace_back();
        for (int i = 0; i < 6; ++i)
            out.paragraphs.back().lines.push_back(
                {{{text, 0, 100 * i, 600, 100 * i + height, confidence},
                  {"Rua", 650, 100 * i, 750, 100 * i + height, confidence}}});
        return out;
    };
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(page("Itaquera 2994", 30, 90)), 1.0f);
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(page("Itaquera 2994", 60, 90)), 32.0f / 60.0f);
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(page("Itaquera 2994", 250, 90)), 0.5f);
    // A logo or a photograph read as large nonsense, and a rule read as a bar, are no print.
    outside::PageText mixed = page("Itaquera 2994", 30, 90);
    for (const auto& [text, confidence] : {std::pair{"eaxs", 30.0f}, std::pair{"|", 95.0f}})
        for (int i = 0; i < 30; ++i)
            mixed.paragraphs.back().lines.push_back(
                {{{text, 0, 700 + 300 * i, 900, 1000 + 300 * i, confidence}}});
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(mixed), 1.0f);
    // A card read thin keeps its size: this reading is most of what it gives.
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(Page(1, "Tudo é possível àquele", 92)), 1.0f);
    outside::PageText thin_large = Page(1, "Tudo é possível àquele", 92);
    thin_large.paragraphs.back().lines.back().words.back().bottom = 200;
    EXPECT_FLOAT_EQ(outside::StretchedReadingScale(thin_large), 1.0f);
}

TEST(CardReading, RealCardsAskewOrUpsideDown) {
    // The whole desk picture, the card some ten degrees askew on it: read level.
    outside::Recognizer english;
    ASSERT_TRUE(english.Init("eng"));
    auto picture = Picture("contoso-chris-smith.jpg");
    ASSERT_TRUE(picture);
    outside::CardFields card = outside::ExtractCardFields(outside::ReadCard(english, picture.get(), 0), "US");
    EXPECT_EQ(card.full_name, "Chris Smith");
    EXPECT_EQ(card.emails, std::vector<std::string>{"chris.smith@contoso.com"});

    // A Japanese card upside down, as a card cut out of the desk picture may come.
    outside::Recognizer japanese;
    ASSERT_TRUE(japanese.Init("jpn+eng"));
    japanese.LoadOrientationAside();  // as the card program loads it, while the card is first read
    picture = Picture("contoso-daiki-tamura.jpg");
    ASSERT_TRUE(picture);
    Box* box = boxCreate(150, 225, 900, 560);  // the card, as the card detector cuts it out
    std::unique_ptr<Pix, PixFree> cut(pixClipRectangle(picture.get(), box, nullptr));
    boxDestroy(&box);
    std::unique_ptr<Pix, PixFree> turned(pixRotate180(nullptr, cut.get()));
    card = outside::ExtractCardFields(outside::ReadCard(japanese, turned.get(), 0), "JP");
    EXPECT_EQ(card.emails, std::vector<std::string>{"daiki.tamura@contoso.com"});
    EXPECT_EQ(card.web, "https://www.contoso.co.jp/");
    EXPECT_EQ(card.organisation, "株式会社コントーソ");
    ASSERT_EQ(card.telephones.size(), 2u);
    EXPECT_EQ(card.telephones[1].number, "+81 3-8765-4321");

    // Dark print on an orange card beside a white logo: the first reading gets next to nothing, the
    // local threshold's the card.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    picture = Picture("souza-806118058.jpg");
    ASSERT_TRUE(picture);
    box = boxCreate(125, 110, 990, 550);  // the card, as the card detector cuts it out
    cut.reset(pixClipRectangle(picture.get(), box, nullptr));
    boxDestroy(&box);
    card = outside::ExtractCardFields(outside::ReadCard(portuguese, cut.get(), 0, "BR"), "BR");
    EXPECT_EQ(card.emails, std::vector<std::string>{"oticadajo2014@hotmail.com"});

    // The e-mail in small print beside the name in large print, on one baseline: read on its own.
    outside::Recognizer polish;
    ASSERT_TRUE(polish.Init("pol+eng"));
    picture = Picture("synthetic/synthetic-34.jpg");
    ASSERT_TRUE(picture);
    card = outside::ExtractCardFields(outside::ReadCard(polish, picture.get(), 0), "PL");
    EXPECT_EQ(card.emails, std::vector<std::string>{"biuro@kowalczyk.pl"});
    EXPECT_EQ(card.full_name, "Anna Kowalczyk");
}

TEST(CardReading, ATelephoneIsReadAsItsRowOfPrintAlone) {
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    const auto telephones = [&](const char* file) {
        auto picture = Picture(file);
        std::vector<std::string> numbers;
        if (!picture) return numbers;
        for (const outside::Telephone& tel :
             outside::ExtractCardFields(outside::ReadCard(portuguese, picture.get(), 0, "BR"), "BR")
                 .telephones)
            numbers.push_back(tel.number);
        return numbers;
    };
    // Specks of the marbled ground read into the number's box: a "4" was read "2".
    EXPECT_EQ(telephones("souza-806021986.jpg"), (std::vector<std::string>{"2294-9484", "9.9679-9468"}));
    // Light print up a strip at the card's edge: read without its area code before it.
    EXPECT_EQ(telephones("souza-806123003.jpg"), std::vector<std::string>{"+55 11 3392-3817"});
}

// The fields the card program finds on a card picture of the set; none when it cannot be loaded.
outside::CardFields FieldsOf(outside::Recognizer& recognizer, const char* file, const std::string& region) {
    auto picture = Picture(file);
    if (!picture) {
        ADD_FAILURE() << file << " not loaded";
        return {};
    }
    return outside::ExtractCardFields(outside::ReadCard(recognizer, picture.get(), 0, region), region);
}

// The card of a desk picture of the set, found and cut `inset` pixels inside its outline as a capture
// cuts it; null (and a failure) when none is found.
std::unique_ptr<Pix, PixFree> DeskCard(const char* file, double inset) {
    cv::Mat desk = virtualcam::ReadPicture(std::string(VELLUMO_SOURCE_DIR) + "/tests/data/cards/" + file);
    if (desk.empty()) {
        ADD_FAILURE() << file << " not loaded";
        return nullptr;
    }
    desk = virtualcam::FitIntoFrame(desk, cv::Size(2592, 1944)).picture;
    const std::vector<outside::Quad> cards = outside::DetectCards(desk, 1);
    if (cards.size() != 1) {
        ADD_FAILURE() << file << ": " << cards.size() << " cards found";
        return nullptr;
    }
    const cv::Mat bgr = outside::StraightenQuad(desk, cards[0], inset);
    std::unique_ptr<Pix, PixFree> cut(pixCreate(bgr.cols, bgr.rows, 32));
    for (int y = 0; y < bgr.rows; ++y)
        for (int x = 0; x < bgr.cols; ++x) {
            const cv::Vec3b c = bgr.at<cv::Vec3b>(y, x);
            pixSetRGBPixel(cut.get(), x, y, c[2], c[1], c[0]);
        }
    return cut;
}

// The capture's resolution, as a card cut out of it carries it: 2592 pixels across a frame 297 mm wide.
constexpr int kCaptureDpi = 222;

// The fields the card program finds on the card of a desk photograph cut `inset` pixels in, told the
// resolution `dpi`; none where the card is not cut out.
outside::CardFields DeskCardFields(outside::Recognizer& recognizer, const char* file, double inset, int dpi,
                                   const std::string& region) {
    auto cut = DeskCard(file, inset);
    if (!cut) return {};
    return outside::ExtractCardFields(outside::ReadCard(recognizer, cut.get(), dpi, region), region);
}

// The telephone numbers the card program finds on a Brazilian card's cut.
std::vector<std::string> NumbersRead(outside::Recognizer& recognizer, Pix* cut, int dpi) {
    std::vector<std::string> numbers;
    for (const outside::Telephone& tel :
         outside::ExtractCardFields(outside::ReadCard(recognizer, cut, dpi, "BR"), "BR").telephones)
        numbers.push_back(tel.number);
    return numbers;
}

TEST(CardReading, AnEMailPrintedPartlyOverAPhotographIsReadWholeWhereverTheCutFalls) {
    // A dark card with a rose printed over its left part, cut as a capture cuts it and a pixel further in.
    // At the first cut the page layout takes the e-mail's start, over the rose, for the photograph's
    // ("sfatima@hotmail.com"); at the second it reads the row as nonsense at confidence 0 ("ad tima
    // hotmail.com"), whose domain would stand as a web address beside the row read alone.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    for (const double inset : {outside::kCropInset, outside::kCropInset + 1}) {
        SCOPED_TRACE(inset);
        const outside::CardFields card = DeskCardFields(portuguese, "souza-806622677.jpg", inset, 0, "BR");
        EXPECT_EQ(card.emails, std::vector<std::string>{"floresnsfatima@hotmail.com"});
        EXPECT_TRUE(card.web.empty()) << card.web;
    }
}

TEST(CardReading, AJapaneseCardPhotographedAtASlantIsCutUprightAndReadUnturned) {
    // A photograph of a card at a slant, pasted upright on a white page: the card detector cuts the
    // photograph. Its Japanese lines have no ascenders to tell its way up by, and its lines lean up at
    // the bottom and down at the top, which no turn levels. Cut upside down the title was lost and the
    // department taken for the name; turned level by the top's lean, the lines at the bottom were misread.
    outside::Recognizer japanese;
    ASSERT_TRUE(japanese.Init("jpn+eng"));
    const outside::CardFields card =
        DeskCardFields(japanese, "contoso-daiki-tamura.jpg", outside::kCropInset, kCaptureDpi, "JP");
    EXPECT_EQ(card.title, "営業部 部長");
    EXPECT_EQ(card.organisation, "株式会社コントーソ");
    EXPECT_EQ(card.address_lines, std::vector<std::string>{"〒108-0075 東京都港区港南 2-16-3"});
    EXPECT_EQ(card.web, "https://www.contoso.co.jp/");
}

TEST(CardReading, ContactsInColourOverAPhotographAreReadOnTheirOwnRows) {
    // The layout boxes a slogan and, under it, two numbers in yellow on a photograph as one line: the row
    // of most marks is the slogan's, and on the grey the numbers read "(di) 2747-8430". The e-mail in red
    // over snow reads right alone, but at 35 only.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    const outside::CardFields card =
        DeskCardFields(portuguese, "souza-806623172.jpg", outside::kCropInset, 0, "BR");
    std::vector<std::string> numbers;
    for (const outside::Telephone& tel : card.telephones) numbers.push_back(tel.number);
    EXPECT_EQ(numbers, (std::vector<std::string>{"+55 11 2747-8430", "+55 11 2746-6245"}));
    EXPECT_EQ(card.emails, std::vector<std::string>{"liderfrio@terra.com.br"});
}

TEST(CardReading, ANameInAThinScriptIsReadOnTesseractsOwnThreshold) {
    // A name in a thin italic serif on a yellow card, photographed blurred: thresholded by each place's
    // neighbourhood its strokes part and its row reads "dtair Dura Miranda" at 66.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    EXPECT_EQ(FieldsOf(portuguese, "souza-806123003.jpg", "BR").full_name, "Altair D'Auria Miranda");
}

TEST(CardReading, AnEMailWhoseAtSignWasMisreadIsReadAsItsWholeRowAfterItsLabel) {
    // Teal print over a cloudy sky: the card's reading gives "E-mail: sonaocasaúbol." and leaves "br" to a
    // line of its own; the row read alone gives the address after the same label.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    EXPECT_EQ(FieldsOf(portuguese, "souza-806122656.jpg", "BR").emails,
              std::vector<std::string>{"sonaocasa@bol.com.br"});
}

TEST(CardReading, PrintUnderALayoutBlockTakenForAPictureIsRead) {
    // A shop's card printed over a photograph: cut a pixel further in than a capture cuts it, Tesseract's
    // layout takes all but its top for one picture, and the card's number went unread.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    auto cut = DeskCard("souza-806630380.jpg", outside::kCropInset + 1);
    ASSERT_TRUE(cut);
    EXPECT_EQ(NumbersRead(portuguese, cut.get(), kCaptureDpi), std::vector<std::string>{"2685-2862"});
}

TEST(CardReading, AStreetCutShortAtAGradientTakenForAPictureIsReadAsItsWholeRow) {
    // The layout takes the end of the street's line, over a yellow gradient, for a picture: the line read
    // "Av. Waldemar Carlos Pereira, 1325" and lost its district. A slogan stands just above it.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    const outside::CardFields card =
        DeskCardFields(portuguese, "souza-806621156.jpg", outside::kCropInset, kCaptureDpi, "BR");
    EXPECT_EQ(card.address_lines,
              std::vector<std::string>{"Av. Waldemar Carlos Pereira, 1325 - Vila Talarico"});
}

TEST(CardReading, DisplayPrintInOutlineIsReadAgainOnItsBrightestChannel) {
    // Black capitals ringed in white on a blue band read "ATO SOCORRO" at 33 on the whole card; alone, on
    // each pixel's brightest channel, they read surely, and the trade's name is no one's.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    const outside::CardFields card =
        DeskCardFields(portuguese, "souza-806122959.jpg", outside::kCropInset, 0, "BR");
    EXPECT_EQ(card.organisation, "AUTO SOCORRO");
    EXPECT_EQ(card.full_name, "R. OLIVEIRA");
}

TEST(CardReading, ABorrowedWordInLargePrintKeepsItsMark) {
    // German's data has no "é": the café's name is read "Cafe" however large its print, and English's
    // reading of the line alone gives the mark back. The name above it in as large print stays as read.
    outside::Recognizer german;
    ASSERT_TRUE(german.Init("deu+eng"));
    const outside::CardFields card = FieldsOf(german, "synthetic/synthetic-26.jpg", "DE");
    EXPECT_EQ(card.organisation, "Café Sonnenschein");
    EXPECT_EQ(card.full_name, "Hannah Schmidt");
}

TEST(CardReading, FaintGreyPrintOnAShadedDesignIsRead) {
    // Grey print a few levels darker than a blue gradient, which Tesseract takes for a picture: the
    // title, purple on the gradient, is found on the grey made even and read as a row of its own.
    outside::Recognizer english;
    ASSERT_TRUE(english.Init("eng"));
    const outside::CardFields card = FieldsOf(english, "techvision-john-smith.jpg", "US");
    EXPECT_EQ(card.title, "Sales Director");
    EXPECT_EQ(card.full_name, "John Smith");
}

TEST(CardReading, LetteringTheLayoutTakesForAPictureIsRead) {
    // Black display print over an orange and white design, which Tesseract's layout takes for a picture:
    // the block is read on its own, and the company is found among the card's lines.
    outside::Recognizer english;
    ASSERT_TRUE(english.Init("eng"));
    const outside::CardFields card = FieldsOf(english, "sun-electricals-santhosh.jpg", "IN");
    EXPECT_EQ(card.organisation, "Sun Electricals");
    EXPECT_EQ(card.full_name, "SANTHOSH");
    // Grey capitals over two lines on a green band: read as one block, so the company is both lines, not
    // the one line a row of ink read alone would give first.
    const outside::CardFields band = FieldsOf(english, "borcelle-karthick.jpg", "IN");
    EXPECT_EQ(band.organisation, "BORCELLE AIRLINES");
    EXPECT_EQ(band.full_name, "KARTHICK");
    // Red print on white, as light as its ground on the brightest channel: "Family" is read on the
    // darkest, and "Restaurant" under it, read as a row alone, carries it on.
    const outside::CardFields red = FieldsOf(english, "family-restaurant-revanth.jpg", "IN");
    EXPECT_EQ(red.organisation, "Family Restaurant");
    EXPECT_EQ(red.full_name, "REVANTH");
}

TEST(CardLayout, PictureBlocksAreTheBlankWordsOfRoomForDisplayPrint) {
    outside::PageText page;
    page.paragraphs.push_back({{outside::TextLine{{{"Selva", 50, 100, 150, 130, 97},
                                                   {" ", 600, 0, 1000, 590, 95},   // a logo beside the print
                                                   {"  ", 0, 560, 1000, 590, 95},  // a thin rule
                                                   {"\n", 0, 0, 1000, 590, 95}}}}});  // the card's ground
    const std::vector<outside::InkBox> blocks = outside::PictureBlocks(page, 1000, 590);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].left, 600);
    EXPECT_EQ(blocks[0].bottom, 590);
}

TEST(CardReading, ARowReadUnsurelyIsReadAgainAtHalfSize) {
    // A row of print as the card program cuts it out and thresholds it: at this size Tesseract parts it
    // at the "@", both words at confidence 0.
    outside::Recognizer portuguese;
    ASSERT_TRUE(portuguese.Init("por+eng"));
    portuguese.Api().SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    auto row = Picture("rows/email-row.png");
    ASSERT_TRUE(row);
    const outside::TextLine line = outside::ReadRow(portuguese, row.get(), "BR");
    EXPECT_EQ(outside::LineText(line), "contato@autopecasdominio.com.br");
    // Its boxes in the row's own pixels, whatever size it was read at.
    ASSERT_FALSE(line.words.empty());
    EXPECT_GT(line.words.back().right, pixGetWidth(row.get()) * 3 / 4);
    EXPECT_LE(line.words.back().right, pixGetWidth(row.get()));
}

TEST(BothEngines, EachPartIsReadOnceOnEitherEngineAsTheFirstWouldReadIt) {
    outside::Recognizer english;
    ASSERT_TRUE(english.Init("eng"));
    english.LoadPartnerAside();  // while the card is read whole below
    auto card = Picture("synthetic/synthetic-01.jpg");
    ASSERT_TRUE(card);
    // Each two lines of the card one after the other, a part.
    std::vector<outside::PixPtr> parts;
    english.Api().SetPageSegMode(tesseract::PSM_AUTO);
    std::vector<outside::Word> lines;  // each line's box
    for (const outside::Paragraph& paragraph : english.Recognize(card.get(), 0, "card").paragraphs)
        for (const outside::TextLine& line : paragraph.lines)
            lines.push_back({"", line.words.front().left, line.words.front().top, line.words.back().right,
                             line.words.back().bottom});
    for (size_t i = 0; i + 1 < lines.size(); i += 2)
        parts.push_back(outside::ClipOf(card.get(), std::min(lines[i].left, lines[i + 1].left) - 4,
                                        lines[i].top - 4, std::max(lines[i].right, lines[i + 1].right) + 4,
                                        lines[i + 1].bottom + 4));
    ASSERT_GE(parts.size(), 3u);
    const auto text = [](const outside::PageText& page) {
        std::string words;
        for (const outside::Paragraph& paragraph : page.paragraphs)
            for (const outside::TextLine& line : paragraph.lines) words += outside::LineText(line) + "|";
        return words;
    };
    // Read as one line each: a mode the partner must be given, as its own reads both lines.
    english.Api().SetPageSegMode(tesseract::PSM_SINGLE_LINE);
    std::vector<std::string> in_turn;
    for (const outside::PixPtr& part : parts)
        in_turn.push_back(text(english.Recognize(part.get(), 300, "card")));

    outside::Recognizer* partner = english.Partner();
    std::mutex lock;
    std::condition_variable changed;
    std::set<outside::Recognizer*> engines;
    std::vector<int> reads(parts.size());
    std::vector<std::string> side_by_side(parts.size());
    std::atomic<bool> nested_elsewhere = false;
    outside::ReadOnBothEngines(english, parts.size(), [&](outside::Recognizer& engine, size_t i) {
        {
            // Each engine's first part waits (bounded) until the other has one too, so both take part.
            std::unique_lock held(lock);
            engines.insert(&engine);
            changed.notify_all();
            if (partner)
                changed.wait_for(held, std::chrono::seconds(30), [&] { return engines.size() == 2; });
        }
        ++reads[i];
        side_by_side[i] = text(engine.Recognize(parts[i].get(), 300, "card"));
        // Parts read side by side within a part are read in turn on its engine: the other is at work.
        outside::ReadOnBothEngines(engine, 2, [&](outside::Recognizer& inner, size_t) {
            if (&inner != &engine) nested_elsewhere = true;
        });
    });
    EXPECT_EQ(side_by_side, in_turn);
    EXPECT_EQ(reads, std::vector<int>(parts.size(), 1));
    EXPECT_EQ(engines.size(), partner ? 2u : 1u);
    EXPECT_FALSE(nested_elsewhere);
}

TEST(LinePictures, TesseractKeepsThemAsPnmAndReadsEveryWordAsFromPng) {
    outside::Recognizer english;
    ASSERT_TRUE(english.Init("eng"));
    ASSERT_TRUE(outside::LinePicturesKeptPlain());
    auto card = Picture("synthetic/synthetic-01.jpg");
    ASSERT_TRUE(card);
    english.Api().SetPageSegMode(tesseract::PSM_AUTO);
    const auto words = [&] {
        std::vector<std::string> all;
        for (const outside::Paragraph& paragraph : english.Recognize(card.get(), 0, "card").paragraphs)
            for (const outside::TextLine& line : paragraph.lines)
                for (const outside::Word& w : line.words)
                    all.push_back(w.text + " " + std::to_string(w.left) + "," + std::to_string(w.top) + "," +
                                  std::to_string(w.right) + "," + std::to_string(w.bottom) + " " +
                                  std::to_string(w.confidence));
        return all;
    };
    outside::KeepLinePicturesPlain(false);
    const size_t before = outside::LinePicturesKeptPlainCount();
    const std::vector<std::string> from_png = words();
    outside::KeepLinePicturesPlain(true);
    EXPECT_EQ(outside::LinePicturesKeptPlainCount(), before);
    const std::vector<std::string> from_pnm = words();
    EXPECT_GE(outside::LinePicturesKeptPlainCount(), before + from_pnm.size() / 4);
    EXPECT_GT(from_png.size(), 10u);
    EXPECT_EQ(from_pnm, from_png);
}

}  // namespace

int main(int argc, char** argv) {
    // Each engine reads on one thread, as in the card program: Tesseract starts none of its own here.
    outside::RunWithOneOpenMpThread(argv);
    // The card detector runs on this thread: OpenCV's own pool is not instrumented for the thread checker.
    cv::setNumThreads(0);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
