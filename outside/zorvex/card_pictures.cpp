#include "outside/zorvex/card_pictures.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <cmath>

namespace outside {

PixPtr LocalThreshold(Pix* grey, int half) {
    // Leptonica refuses a picture narrower than the window (and says so on the terminal): a clip that
    // small holds no print to threshold.
    if (grey == nullptr || pixGetWidth(grey) < 2 * half + 3 || pixGetHeight(grey) < 2 * half + 3)
        return nullptr;
    Pix* binary = nullptr;
    if (pixSauvolaBinarize(grey, half, 0.34f, 1, nullptr, nullptr, nullptr, &binary) != 0) return nullptr;
    return PixPtr(binary);
}

PixPtr ClipOf(Pix* picture, int x0, int y0, int x1, int y1) {
    if (x1 - x0 < 8 || y1 - y0 < 8) return nullptr;
    Box* box = boxCreate(x0, y0, x1 - x0, y1 - y0);
    PixPtr clip(pixClipRectangle(picture, box, nullptr));
    boxDestroy(&box);
    return clip;
}

void ScaleBack(PageText& page, float scale) {
    const auto back = [&](int& v) { v = static_cast<int>(static_cast<float>(v) / scale + 0.5f); };
    for (Paragraph& paragraph : page.paragraphs)
        for (TextLine& line : paragraph.lines)
            for (Word& word : line.words)
                back(word.left), back(word.top), back(word.right), back(word.bottom);
    for (PictureBlock& block : page.pictures)
        back(block.left), back(block.top), back(block.right), back(block.bottom);
}

void Shift(PageText& page, int x, int y) {
    for (Paragraph& paragraph : page.paragraphs)
        for (TextLine& line : paragraph.lines)
            for (Word& w : line.words) w.left += x, w.right += x, w.top += y, w.bottom += y;
    for (PictureBlock& b : page.pictures) b.left += x, b.right += x, b.top += y, b.bottom += y;
}

PageText RecognizeReduced(Recognizer& recognizer, Pix* picture, int dpi, float scale) {
    if (scale >= 1) return recognizer.Recognize(picture, dpi, "card");
    PixPtr reduced(pixScale(picture, scale, scale));
    if (!reduced) return {};
    // A picture without a resolution of its own takes one from its width, the reduced one's.
    PageText page =
        recognizer.Recognize(reduced.get(), static_cast<int>(static_cast<float>(dpi) * scale), "card");
    ScaleBack(page, scale);
    return page;
}

PageText RecognizeWhole(Recognizer& recognizer, Pix* picture, int dpi) {
    return RecognizeReduced(recognizer, picture, dpi, pixGetWidth(picture) > kLargestWhole ? 0.5f : 1.0f);
}

PixPtr Levelled(Pix* card) {
    constexpr float kSweep = 15;  // degrees either way
    PixPtr gray(pixConvertTo8(card, 0));
    if (!gray) return nullptr;
    const int width = pixGetWidth(gray.get());
    const float reduce = width > 1200 ? 1200.0f / static_cast<float>(width) : 1.0f;
    PixPtr small(reduce < 1 ? pixScale(gray.get(), reduce, reduce) : pixCopy(nullptr, gray.get()));
    PixPtr print = LocalThreshold(small.get(), 12);
    if (!print) return nullptr;
    l_float32 angle = 0, confidence = 0;
    if (pixFindSkewSweepAndSearch(print.get(), &angle, &confidence, 1, 1, kSweep, 1.0f, 0.02f) != 0)
        return nullptr;
    // An angle Leptonica is not sure of is left alone; a small one is not worth a rotation's blur.
    if (confidence < 2.0f || std::abs(angle) < 0.5f || std::abs(angle) >= kSweep) return nullptr;
    // A card photographed at a slant (and pasted upright, so its cut is the photograph) has lines leaning
    // one way at the top and the other at the bottom: no turn levels both. The whole's angle stands when
    // the half of more marks of print, its many small lines, leans its way; one of the other half alone
    // (the card's edge and a few lines of large print) tilts them further, and they read worse.
    const int height = pixGetHeight(print.get());
    float halves[2] = {0, 0};
    l_int32 marks[2] = {0, 0};
    for (int half = 0; half < 2; ++half) {
        PixPtr part =
            ClipOf(print.get(), 0, half * height / 2, pixGetWidth(print.get()), (half + 1) * height / 2);
        l_float32 part_confidence = 0;
        if (!part || pixCountConnComp(part.get(), 8, &marks[half]) != 0 ||
            pixFindSkewSweepAndSearch(part.get(), &halves[half], &part_confidence, 1, 1, kSweep, 1.0f,
                                      0.02f) != 0 ||
            part_confidence < 2.0f)
            halves[half] = 0;
    }
    const float most = halves[marks[1] > marks[0] ? 1 : 0], fewer = halves[marks[1] > marks[0] ? 0 : 1];
    if (std::min(most, fewer) <= -0.5f && std::max(most, fewer) >= 0.5f && (most < 0) != (angle < 0))
        return nullptr;
    return PixPtr(pixRotate(card, angle * 3.14159265f / 180.0f, L_ROTATE_AREA_MAP, L_BRING_IN_WHITE, 0, 0));
}

PixPtr FaintPrintDarkened(Pix* grey) {
    constexpr l_uint32 kDepth = 40;  // levels under the even ground
    PixPtr even(pixBackgroundNormSimple(grey, nullptr, nullptr));
    l_uint32 ground = 0;
    if (!even || pixGetRankValue(even.get(), 1, 0.5f, &ground) != 0 || ground <= kDepth) return nullptr;
    return PixPtr(pixGammaTRC(nullptr, even.get(), 1.0f, static_cast<l_int32>(ground - kDepth),
                              static_cast<l_int32>(ground)));
}

}  // namespace outside
