#pragma once
// The languages the card programs read cards in, against the OCR engine's recognition languages: the
// command line takes one language name for pages and cards alike. No toolkit.

#include <optional>
#include <string>

namespace ocr {

// The card program reads cards in 21 languages ("Zorvex6Language" 0 to 20); the explorer program in the
// first nine of them, in the same order ("ZorvexLanguage" 0 to 8).
constexpr int kCardProgramLanguageCount = 21;
constexpr int kExplorerLanguageCount = 9;

// The card programs' language for cards printed in the OCR language at `ocr_language`, its variants and
// its mixes with English included ("PortugueseBrazilian" and "Chinese Simplified + English" give "PT" and
// "SC"); none where they read no such cards.
std::optional<int> CardLanguageOfText(int ocr_language);

// The OCR language dialog's names of the first `count` card languages, in their order, comma separated.
std::string CardLanguageNames(int count);

}  // namespace ocr
