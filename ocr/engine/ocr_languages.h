#pragma once
// The OCR engine's recognition languages: the names the language dialog lists, in the order whose
// index the settings file stores ("FineReaderLanguage"), and the name the engine is given for each.

#include <string>

namespace ocr {

constexpr int kOcrLanguageCount = 181;

// The display name at `index`, nullptr outside 0..180.
const char* OcrLanguageDisplayName(int index);

// The engine's name for the language at `index`: the display name, except the few the engine spells
// differently (those with spaces, and some others). An index outside the table gives English, the
// language a fresh settings file starts from.
std::string EngineLanguageName(int index);

}  // namespace ocr
