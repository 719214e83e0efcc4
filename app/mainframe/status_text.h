#pragma once
// The one-line settings summary of the status bar: image format, OCR format (when an OCR engine was
// found), capture size, file rotation, deskew and the three continuous modes, each "label:value" followed
// by two spaces. Labels and values come from the resource strings.

#include <functional>
#include <string>

class CVellumoSettings;

using StringLookup = std::function<std::string(unsigned id)>;

std::string BuildStatusText(const CVellumoSettings& settings, int image_format, const StringLookup& strings);

// The placeholder the status pane starts with; its length sets the pane's first width.
std::string StatusPlaceholderText();
