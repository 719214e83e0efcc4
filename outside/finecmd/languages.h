#pragma once
// The OCR engine's language names ("English", "ChinesePRC_English" ...) in Tesseract's spelling.

#include <string>

namespace outside {

// "eng", "chi_sim+eng", ...; empty for a language Tesseract has no data for. Names match without regard
// to case.
std::string TesseractLanguage(const std::string& engine_name);

}  // namespace outside
