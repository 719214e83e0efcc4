// The ribbon's code-added controls and the video fit: pure rules over the settings record.
#include "app/ribbon/ribbon_layout.h"

#include <gtest/gtest.h>

#include "settings/settings.h"

namespace {

std::vector<int> Ids(const std::vector<RibbonItem>& items) {
    std::vector<int> ids;
    for (const RibbonItem& item : items) ids.push_back(item.id);
    return ids;
}

TEST(ResolutionMenu, FollowsPreviewSizeText) {
    struct Case {
        const char* text;
        std::vector<int> ids;
    } cases[] = {
        {"0,2", {1026, 1028}},
        {"", {}},
        {"0,1,2,0", {1026, 1027, 1028, 1026}},
        {"abc", {1026}},      // read like atoi: no digits is a 0
        {"99999999999", {}},  // saturates, names no resolution
        {"-1,3,2", {1028}},
        {",,1,,", {1027}},  // empty fields are no numbers
        {"0,0,0,0,0,0,0,0,0,0,1",
         {1026, 1026, 1026, 1026, 1026, 1026, 1026, 1026, 1026, 1026}},  // at most 10
    };
    for (const Case& c : cases) EXPECT_EQ(Ids(ResolutionMenuItems(c.text)), c.ids) << '"' << c.text << '"';
}

RibbonLayout ThreeCategories(int panels) {
    RibbonLayout layout;
    for (const char* name : {"Photo", "Video", "OCR"}) {
        RibbonCategory category{name, {}};
        for (int i = 0; i < panels; ++i) category.panels.push_back(RibbonPanel{"panel", {}});
        layout.categories.push_back(category);
    }
    return layout;
}

std::string Strings(unsigned id) {
    switch (id) {
        case 126:
            return "Photo";
        case 127:
            return "Video";
        case 128:
            return "OCR";
        default:
            return "s" + std::to_string(id);
    }
}

TEST(AddRibbonControls, PutsButtonsOnPanelTwoWithOcrItemsOnlyWhenTheEngineWasFound) {
    CVellumoSettings settings;
    settings.m_szPreviewSize = "0,2";
    RibbonLayout layout = ThreeCategories(3);
    ASSERT_EQ(AddRibbonControls(layout, settings, Strings, true), 1);

    const auto& photo = layout.categories[0].panels[2].elements;
    ASSERT_EQ(photo.size(), 1u);
    ASSERT_EQ(photo[0].kind, RibbonElement::Kind::Group);
    EXPECT_EQ(photo[0].children.at(0).id, 839);
    EXPECT_EQ(photo[0].children.at(0).text, "s156");
    EXPECT_EQ(Ids(photo[0].children.at(0).items), (std::vector<int>{1026, 1028}));

    const auto& video = layout.categories[1].panels[2].elements;
    ASSERT_EQ(video.size(), 2u);
    EXPECT_EQ(video[0].id, 846);
    EXPECT_EQ(video[0].large_image, 16);
    EXPECT_EQ(video[1].id, 848);
    EXPECT_EQ(video[1].large_image, 15);
    EXPECT_TRUE(video[0].always_show_description && video[1].always_show_description);

    const auto& ocr_without = layout.categories[2].panels[2].elements;
    ASSERT_EQ(ocr_without.size(), 3u);  // 1005, 1007, 1017, without sub-items; no 818
    for (const RibbonElement& button : ocr_without) EXPECT_TRUE(button.items.empty()) << button.id;

    settings.m_bOcrEngineFound = 1;
    RibbonLayout with_ocr = ThreeCategories(3);
    AddRibbonControls(with_ocr, settings, Strings, true);
    const auto& ocr = with_ocr.categories[2].panels[2].elements;
    ASSERT_EQ(ocr.size(), 4u);
    EXPECT_EQ(Ids(ocr[0].items), (std::vector<int>{1013}));
    EXPECT_EQ(Ids(ocr[1].items), (std::vector<int>{813, 817, 814, 815, 816}));
    EXPECT_EQ(Ids(ocr[2].items), (std::vector<int>{1015, 1016}));
    EXPECT_EQ(ocr[3].id, 818);
    EXPECT_EQ(ocr[3].large_image, 11);
}

TEST(AddRibbonControls, SkipsWhatIsMissingAndDoesNothingWithoutResources) {
    CVellumoSettings settings;
    RibbonLayout layout = ThreeCategories(3);
    layout.categories.erase(layout.categories.begin() + 1);  // no "Video"
    layout.categories[1].panels.resize(2);                   // "OCR" too short
    EXPECT_EQ(AddRibbonControls(layout, settings, Strings, true), 1);
    EXPECT_EQ(layout.categories[0].panels[2].elements.size(), 1u);
    EXPECT_EQ(layout.categories[1].panels.size(), 2u);
    for (const RibbonPanel& panel : layout.categories[1].panels) EXPECT_TRUE(panel.elements.empty());

    RibbonLayout untouched = ThreeCategories(3);
    EXPECT_EQ(AddRibbonControls(untouched, settings, Strings, false), 0);
    EXPECT_TRUE(untouched.categories[0].panels[2].elements.empty());
}

}  // namespace
