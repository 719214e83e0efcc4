#include "outside/zorvex/card_reading.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>

#include <algorithm>
#include <optional>
#include <thread>
#include <utility>

#include "outside/finecmd/both_engines.h"
#include "outside/zorvex/card_layout.h"
#include "outside/zorvex/card_pictures.h"
#include "outside/zorvex/card_region.h"
#include "outside/zorvex/line_rereading.h"
#include "outside/zorvex/reading_measures.h"
#include "outside/zorvex/unread_print.h"

namespace outside {

namespace {

// A card whose reading got next to nothing is often print on a coloured ground beside a large white or
// dark picture (an orange card with a white logo): Tesseract's one threshold for the whole card then
// falls between the ground and the picture, and the print is lost with the ground. It is read again with
// a threshold set by each place's own neighbourhood (Sauvola's), see LocalReadingWins. Such a card is
// read whole once more later, in its grey stretched to its local contrast, where it is read thin still (see
// ReadUnreadRegions), as most are: with two engines that reading is made now, beside this one, and given
// back.
std::optional<PageText> ReadThinCardLocally(Recognizer& recognizer, Pix* picture, int dpi, PageText& page) {
    if (!ThinReading(page)) return std::nullopt;
    PixPtr stretched = recognizer.Partner() ? StretchedToLocalContrast(picture) : nullptr;
    PageText local;
    std::optional<PageText> stretched_reading;
    ReadOnBothEngines(recognizer, stretched ? 2 : 1, [&](Recognizer& engine, size_t part) {
        if (part == 1) {
            stretched_reading = RecognizeWhole(engine, stretched.get(), dpi);
            return;
        }
        tesseract::TessBaseAPI& api = engine.Api();
        api.SetVariable("thresholding_method", "2");
        local = RecognizeWhole(engine, picture, dpi);
        api.SetVariable("thresholding_method", "0");
    });
    if (LocalReadingWins(page, local)) page = std::move(local);
    return stretched_reading;
}

}  // namespace

std::vector<LayoutLine> ReadCard(Recognizer& recognizer, Pix* card, int dpi,
                                 const std::string& language_region) {
    constexpr int kSmallPrint = 16;  // pixels of a line's median word height
    // A card this wide was cut out of a picture of the camera's resolution: its print is large enough, and
    // small "lines" on it are a picture's speckle read as letters. Read at twice its size it takes
    // seconds.
    constexpr int kLargestToEnlarge = 1400;
    // Cards are laid out in blocks here and there, not as one column of text: Tesseract finds the
    // blocks itself.
    recognizer.Api().SetPageSegMode(tesseract::PSM_AUTO);
    PixPtr level = Levelled(card);
    Pix* upright = level ? level.get() : card;
    // A card read as it lies is the right way up when the reading got more than a thin one, or one line
    // read surely (see WayUpInDoubt: print upside down reads as nonsense). Only then is Tesseract's
    // orientation model asked, which tells most cards' way up at a fraction of a reading's time; where it
    // cannot, a doubtful reading is tried the other way up as well.
    // The rows of ink on the card's channels (see ReadInkRows) depend on the picture alone: they are looked
    // for on the other core while Tesseract first reads the card, on a copy of its own (Leptonica counts a
    // picture's users unguarded).
    Pix* const levelled = upright;
    PixPtr rows_picture(std::thread::hardware_concurrency() > 1 ? pixCopy(nullptr, upright) : nullptr);
    std::optional<ChannelRows> channel_rows;
    std::jthread finding_rows;
    if (rows_picture)
        finding_rows = std::jthread([&] { channel_rows = FindChannelRows(rows_picture.get()); });
    PageText page = recognizer.Recognize(upright, dpi, "card");
    int upside_down = -1;
    PixPtr turned;
    if (ThinReading(page) && !HoldsSureLine(page)) {
        // It looks at the shapes of the print, which a card cut out of the camera's picture shows as well
        // at half its size, in a third of the time.
        if (pixGetWidth(upright) > kLargestWhole) {
            PixPtr half(pixScale(upright, 0.5f, 0.5f));
            if (half) upside_down = recognizer.UpsideDown(half.get(), dpi / 2);
        } else {
            upside_down = recognizer.UpsideDown(upright, dpi);
        }
        if (upside_down == 1) turned.reset(pixRotate180(nullptr, upright));
        if (turned) {
            upright = turned.get();
            page = recognizer.Recognize(upright, dpi, "card");
        }
    }
    // The card's country, as far as its first reading shows it: the rows read again below are weighed by
    // the numbers they give that its plan dials.
    std::vector<std::string> texts;
    for (const Paragraph& paragraph : page.paragraphs)
        for (const TextLine& line : paragraph.lines) texts.push_back(LineText(line));
    const std::string region = RegionOnCard(texts, language_region);
    ReadPicturedCardSparsely(recognizer, upright, dpi, page, region);
    // Before the way up is doubted: a card read thin for its colours reads as doubtful either way up.
    std::optional<PageText> stretched_reading = ReadThinCardLocally(recognizer, upright, dpi, page);
    if (upside_down == -1 && WayUpInDoubt(page)) {
        turned.reset(pixRotate180(nullptr, upright));
        // The other way up is read at half size first (a card from the camera's picture): a card upside
        // down reads as nonsense at any size, and most doubtful cards are upright after all.
        if (turned) {
            PageText other = RecognizeWhole(recognizer, turned.get(), dpi);
            if (pixGetWidth(turned.get()) > kLargestWhole && Legibility(other) > Legibility(page))
                other = recognizer.Recognize(turned.get(), dpi, "card");
            if (Legibility(other) > Legibility(page)) {
                page = std::move(other);
                upright = turned.get();
                stretched_reading.reset();  // of the card the wrong way up
            }
        }
    }
    RereadDoubtfulRuns(recognizer, upright, dpi, page);
    ReadUnreadRegions(recognizer, upright, dpi, page, std::move(stretched_reading));
    // The print the card was read in decides whether it is read again enlarged: the rows read alone
    // below are print Tesseract passed over, in any size, and no measure of it.
    std::vector<int> heights;
    for (const LayoutLine& line : LayoutLines(page)) heights.push_back(line.height);
    // The picture blocks before the rows of ink: lettering drawn over two lines is read there as one block.
    ReadPictureBlocks(recognizer, upright, dpi, page);
    if (finding_rows.joinable()) finding_rows.join();
    if (upright != levelled) channel_rows.reset();  // rows of the card the wrong way up
    ReadInkRows(recognizer, upright, page, region, std::move(channel_rows));
    std::vector<LayoutLine> lines = LayoutLines(page);
    if (heights.empty())
        for (const LayoutLine& line : lines) heights.push_back(line.height);
    JoinRowsPartedBetweenBlocks(lines);
    if (heights.empty()) return lines;
    std::nth_element(heights.begin(), heights.begin() + heights.size() / 2, heights.end());
    if (heights[heights.size() / 2] >= kSmallPrint || pixGetWidth(upright) > kLargestToEnlarge) {
        RereadDisplayLines(recognizer, upright, lines, region);
        RereadContactLines(recognizer, upright, lines, region);
        RestoreMarks(recognizer, upright, lines, region);
        RestoreAddressMarks(recognizer, upright, lines, region);
        return lines;
    }
    PixPtr scaled(pixScale(upright, 2, 2));
    if (!scaled) {
        RereadContactLines(recognizer, upright, lines, region);
        return lines;
    }
    page = recognizer.Recognize(scaled.get(), dpi * 2, "card");
    RereadDoubtfulRuns(recognizer, scaled.get(), dpi * 2, page);
    ReadUnreadRegions(recognizer, scaled.get(), dpi * 2, page);
    ReadInkRows(recognizer, scaled.get(), page, region);
    lines = LayoutLines(page);
    JoinRowsPartedBetweenBlocks(lines);
    RereadContactLines(recognizer, scaled.get(), lines, region);
    RestoreMarks(recognizer, scaled.get(), lines, region);
    RestoreAddressMarks(recognizer, scaled.get(), lines, region);
    return lines;
}

}  // namespace outside
