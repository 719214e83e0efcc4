#include "app/cameradlg/control_values.h"

#include <algorithm>

#include "settings/settings.h"

EditValue CheckEditValue(const std::string& text, int max) {
    const int number = ProfileNumber(text);
    EditValue result;
    result.out_of_range = number < 0 || number > max;
    result.value = std::clamp(number, 0, max);
    return result;
}

int ScrollPosition(ScrollAction action, int position, int thumb, int line, int page, int max) {
    long next = position;
    switch (action) {
        case ScrollAction::LineLeft:
            next = static_cast<long>(position) - line;
            break;
        case ScrollAction::LineRight:
            next = static_cast<long>(position) + line;
            break;
        case ScrollAction::PageLeft:
            next = static_cast<long>(position) - page;
            break;
        case ScrollAction::PageRight:
            next = static_cast<long>(position) + page;
            break;
        case ScrollAction::Thumb:
            next = thumb;
            break;
        case ScrollAction::Left:
            next = 0;
            break;
        case ScrollAction::Right:
            next = max;
            break;
    }
    return static_cast<int>(std::clamp<long>(next, 0, max));
}
