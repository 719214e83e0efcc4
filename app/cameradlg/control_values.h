#pragma once
// The number rules of the camera dialogs, apart from the widgets: an edit's text read like atoi and kept
// within its range, and where a slider's scroll action leaves its position.

#include <string>

struct EditValue {
    int value = 0;              // within 0..max
    bool out_of_range = false;  // the user is told, then the clamped value is shown
};

// The text as atoi reads it (saturating, never overflowing), clamped to 0..max.
EditValue CheckEditValue(const std::string& text, int max);

enum class ScrollAction { LineLeft, LineRight, PageLeft, PageRight, Thumb, Left, Right };

// The position after an action: line and page steps from `position`, the thumb at `thumb`, the ends at 0 and
// `max`; always within 0..max.
int ScrollPosition(ScrollAction action, int position, int thumb, int line, int page, int max);
