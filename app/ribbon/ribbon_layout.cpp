#include "app/ribbon/ribbon_layout.h"

#include "platform/debuglog/debuglog.h"
#include "settings/settings.h"

RibbonCategory* RibbonLayout::FindCategory(const std::string& name) {
    for (RibbonCategory& category : categories)
        if (category.name == name) return &category;
    return nullptr;
}

std::vector<RibbonItem> ResolutionMenuItems(const std::string& preview_size) {
    static const RibbonItem kResolutions[] = {
        {1026, "VGA (640 X 480)"}, {1027, "3M (2048 X 1536)"}, {1028, "5M (2592 X 1944)"}};
    std::vector<RibbonItem> items;
    size_t numbers = 0;
    size_t at = 0;
    // Like strtok: commas separate, runs of commas and leading or trailing commas give no number.
    while (numbers < 10 && at < preview_size.size()) {
        size_t start = preview_size.find_first_not_of(',', at);
        if (start == std::string::npos) break;
        size_t end = preview_size.find(',', start);
        if (end == std::string::npos) end = preview_size.size();
        int number = ProfileNumber(preview_size.substr(start, end - start));
        ++numbers;
        if (number >= 0 && number <= 2) items.push_back(kResolutions[number]);
        at = end;
    }
    return items;
}

namespace {

RibbonPanel* PanelTwo(RibbonLayout& layout, const std::string& category_name, unsigned string_id) {
    RibbonCategory* category = layout.FindCategory(category_name);
    if (category == nullptr) {
        platform::DebugLog("ribbon", "no category named by string %u (\"%s\"); its buttons are left out",
                           string_id, category_name.c_str());
        return nullptr;
    }
    if (category->panels.size() < 3) {
        platform::DebugLog("ribbon", "category \"%s\" has %zu panels, not 3; its buttons are left out",
                           category_name.c_str(), category->panels.size());
        return nullptr;
    }
    return &category->panels[2];
}

RibbonElement Button(int id, std::string text, int small_image, int large_image) {
    RibbonElement button;
    button.id = id;
    button.text = std::move(text);
    button.small_image = small_image;
    button.large_image = large_image;
    return button;
}

}  // namespace

int AddRibbonControls(RibbonLayout& layout, const CVellumoSettings& settings, const StringLookup& strings,
                      bool resources_loaded) {
    if (!resources_loaded) return 0;

    if (RibbonPanel* panel = PanelTwo(layout, strings(126), 126)) {
        RibbonElement menu = Button(839, strings(156), 9, -1);
        menu.items = ResolutionMenuItems(settings.m_szPreviewSize);
        RibbonElement group;
        group.kind = RibbonElement::Kind::Group;
        group.children.push_back(std::move(menu));
        panel->elements.push_back(std::move(group));
    }

    if (RibbonPanel* panel = PanelTwo(layout, strings(127), 127)) {
        RibbonElement properties = Button(846, strings(138), 9, 16);
        properties.always_show_description = true;
        RibbonElement formats = Button(848, strings(140), 9, 15);
        formats.always_show_description = true;
        panel->elements.push_back(std::move(properties));
        panel->elements.push_back(std::move(formats));
    }

    if (RibbonPanel* panel = PanelTwo(layout, strings(128), 128)) {
        const bool ocr = settings.m_bOcrEngineFound != 0;
        auto with_items = [&](RibbonElement button, std::initializer_list<std::pair<int, unsigned>> items) {
            if (ocr)
                for (const auto& [id, text] : items) button.items.push_back(RibbonItem{id, strings(text)});
            panel->elements.push_back(std::move(button));
        };
        with_items(Button(1005, strings(142), 9, 5), {{1013, 143}});
        with_items(Button(1007, strings(147), 9, 4),
                   {{813, 148}, {817, 152}, {814, 149}, {815, 150}, {816, 151}});
        with_items(Button(1017, strings(144), 9, 5), {{1015, 145}, {1016, 146}});
        if (ocr) panel->elements.push_back(Button(818, strings(153), 9, 11));
    }
    return 1;
}
