#pragma once
// The import file the capture program hands our card program: "[Importfile]" with "Count" and
// "File1".."FileN" (quoted picture paths), "[OCROpt]" with "Lang", "[ScanOpt]" with "Duplex".

#include <string>
#include <vector>

namespace outside {

struct ImportRequest {
    std::vector<std::string> pictures;  // the files named, in number order, up to Count
    std::string language = "EN";
};

// Lines that are not "key=value" inside a known section are skipped; a File entry past Count, a
// missing number or an empty path is left out.
ImportRequest ParseImportFile(const std::string& text);

// Tesseract's languages for the file's "Lang" code, English added ("jpn+eng"); English for an unknown
// code.
std::string CardTesseractLanguage(const std::string& code);

}  // namespace outside
