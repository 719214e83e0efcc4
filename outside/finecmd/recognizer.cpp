#include "outside/finecmd/recognizer.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace outside {

std::string LineText(const TextLine& line) {
    std::string text;
    for (const Word& word : line.words) {
        if (!text.empty()) text += ' ';
        text += word.text;
    }
    return text;
}

int PageResolution(int file_dpi, int width) {
    if (file_dpi > 0) return file_dpi;
    return std::clamp(static_cast<int>(width / 11.69 + 0.5), 70, 600);
}

Recognizer::Recognizer() : api_(std::make_unique<tesseract::TessBaseAPI>()) {}
Recognizer::~Recognizer() { api_->End(); }

bool Recognizer::Init(const std::string& language) {
    // English first: it tells which languages are installed, and it is the fallback.
    if (api_->Init(nullptr, "eng", tesseract::OEM_DEFAULT) != 0) {
        std::fprintf(stderr, "no English recognition data is installed\n");
        return false;
    }
    language_ = "eng";
    if (language == "eng") return true;
    std::vector<std::string> installed;
    api_->GetAvailableLanguagesAsVector(&installed);
    std::istringstream parts(language);
    std::string part;
    bool all = !language.empty();
    while (std::getline(parts, part, '+'))
        if (std::find(installed.begin(), installed.end(), part) == installed.end()) all = false;
    if (!all) {
        std::fprintf(stderr, "recognition data for \"%s\" is not installed; recognising English\n",
                     language.c_str());
        return true;
    }
    if (api_->Init(nullptr, language.c_str(), tesseract::OEM_DEFAULT) != 0) {
        std::fprintf(stderr, "recognition data for \"%s\" cannot be loaded; recognising English\n",
                     language.c_str());
        return api_->Init(nullptr, "eng", tesseract::OEM_DEFAULT) == 0;
    }
    language_ = language;
    return true;
}

PageText Recognizer::Recognize(Pix* page, int dpi, const std::string& input_name) {
    PageText text;
    api_->SetInputName(input_name.c_str());
    api_->SetImage(page);
    api_->SetSourceResolution(PageResolution(dpi, pixGetWidth(page)));
    if (api_->Recognize(nullptr) != 0) return text;
    std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
    if (!it) return text;
    do {
        std::unique_ptr<char[]> word(it->GetUTF8Text(tesseract::RIL_WORD));
        if (!word || word[0] == '\0') continue;
        if (text.paragraphs.empty() || it->IsAtBeginningOf(tesseract::RIL_PARA))
            text.paragraphs.emplace_back();
        Paragraph& paragraph = text.paragraphs.back();
        if (paragraph.lines.empty() || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            paragraph.lines.emplace_back();
        Word w;
        w.text = word.get();
        it->BoundingBox(tesseract::RIL_WORD, &w.left, &w.top, &w.right, &w.bottom);
        w.confidence = it->Confidence(tesseract::RIL_WORD);
        paragraph.lines.back().words.push_back(std::move(w));
    } while (it->Next(tesseract::RIL_WORD));
    return text;
}

}  // namespace outside
