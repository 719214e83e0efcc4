#pragma once
// The ribbon as data: categories (tabs) of panels of buttons, each button carrying its command ID, its
// images (indices into the small and large image strips) and, for a menu button, its sub-items. The layout
// comes from ribbon resource 307; AddRibbonControls then adds the buttons the program builds in code.
// Plain C++; the toolkit's ribbon widget is built from it.

#include <string>
#include <vector>

#include "app/mainframe/status_text.h"

class CVellumoSettings;

struct RibbonItem {
    int id = 0;
    std::string text;
};

struct RibbonElement {
    enum class Kind { Button, Group };
    Kind kind = Kind::Button;
    int id = 0;
    std::string text;
    int small_image = -1;  // -1: none
    int large_image = -1;  // -1: shown small
    bool always_show_description = false;
    std::vector<RibbonItem> items;        // a menu button's sub-items
    std::vector<RibbonElement> children;  // a group's buttons
};

struct RibbonPanel {
    std::string title;
    std::vector<RibbonElement> elements;
};

struct RibbonCategory {
    std::string name;  // shown on the tab; categories the program extends are named by strings 126..128
    std::vector<RibbonPanel> panels;
};

struct RibbonLayout {
    std::vector<RibbonCategory> categories;

    RibbonCategory* FindCategory(const std::string& name);
};

// The resolution menu's sub-items for a PREVIEWSIZE text: the text split at commas into at most 10
// numbers read like atoi (0 -> 1026 VGA, 1 -> 1027 3M, 2 -> 1028 5M; other numbers add nothing).
std::vector<RibbonItem> ResolutionMenuItems(const std::string& preview_size);

// Adds the resolution menu (839) to panel 2 of category 126, the property buttons 846/848 to category 127
// and the OCR buttons to category 128, their sub-items only when the OCR engine was found. A missing
// category or panel is logged and skipped. Returns 0 without doing anything when no resource library is
// loaded (`resources_loaded` false), else 1.
int AddRibbonControls(RibbonLayout& layout, const CVellumoSettings& settings, const StringLookup& strings,
                      bool resources_loaded);
