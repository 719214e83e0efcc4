#include "outside/finecmd/recognizer.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/pageiterator.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <sstream>

#include "outside/finecmd/line_pictures.h"
#include "platform/debuglog/debuglog.h"

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

Recognizer::Recognizer() : api_(std::make_unique<tesseract::TessBaseAPI>()) {
    // Tesseract's remarks on each picture ("Estimating resolution as 188", "Detected 19 diacritics") and
    // Leptonica's on boxes it clips reach the terminal of whoever started the capture; they are left for
    // the debug log's readers. Where they go is one setting for the whole process, set before any engine
    // is at work.
    static std::once_flag quiet;
    std::call_once(quiet, [this] {
        if (platform::DebugLogEnabled()) return;
        api_->SetVariable("debug_file", "/dev/null");
        setMsgSeverity(L_SEVERITY_NONE);
    });
}
Recognizer::~Recognizer() {
    if (partner_loading_.joinable()) partner_loading_.join();
    if (orientation_loading_.joinable()) orientation_loading_.join();
    api_->End();
    if (orientation_) orientation_->End();
}

int Recognizer::UpsideDown(Pix* page, int dpi) {
    // Below this the model's answer is a guess (it says "180" for an upright card with 0.3).
    constexpr float kSure = 1.5f;
    LoadOrientationModel();
    if (orientation_missing_) return -1;
    // The orientation model takes the resolution from the picture itself, not from the engine.
    const int resolution = PageResolution(dpi, pixGetWidth(page));
    if (pixGetXRes(page) <= 0) pixSetResolution(page, resolution, resolution);
    orientation_->SetImage(page);
    orientation_->SetSourceResolution(resolution);
    int degrees = 0;
    float confidence = 0, script_confidence = 0;
    const char* script = nullptr;
    if (!orientation_->DetectOrientationScript(&degrees, &confidence, &script, &script_confidence) ||
        confidence < kSure)
        return -1;
    return degrees == 180 ? 1 : degrees == 0 ? 0 : -1;
}

Recognizer* Recognizer::English() {
    if (english_missing_ || language_ == "eng") return nullptr;
    if (!english_) {
        english_ = std::make_unique<Recognizer>();
        english_missing_ = !english_->Init("eng");
        if (english_missing_) english_.reset();
    }
    return english_.get();
}

void Recognizer::LoadOrientationModel() {
    std::call_once(orientation_loaded_, [this] {
        auto orientation = std::make_unique<tesseract::TessBaseAPI>();
        if (orientation->Init(nullptr, "osd", tesseract::OEM_TESSERACT_ONLY) != 0) {
            std::fprintf(stderr, "no orientation data (osd) is installed; cards are read both ways up\n");
            orientation_missing_ = true;
            return;
        }
        orientation->SetPageSegMode(tesseract::PSM_OSD_ONLY);
        orientation_ = std::move(orientation);
    });
}

void Recognizer::LoadOrientationAside() {
    if (!orientation_loading_.joinable())
        orientation_loading_ = std::jthread([this] { LoadOrientationModel(); });
}

void Recognizer::LoadPartnerAside() {
    if (partner_ || partner_missing_ || partner_loading_.joinable()) return;
    partner_loading_ = std::jthread([this] { LoadPartner(); });
}

void Recognizer::LoadPartner() {
    // Two engines on one core read no faster than one, and the second's load costs.
    partner_missing_ = std::thread::hardware_concurrency() < 2 || language_.empty();
    if (partner_missing_) return;
    auto partner = std::make_unique<Recognizer>();
    // The language is known to load: no fallback to look for.
    if (partner->api_->Init(nullptr, language_.c_str(), tesseract::OEM_DEFAULT) != 0) {
        partner_missing_ = true;
        return;
    }
    partner->language_ = language_;
    // One engine beside another is as many as two cores keep busy.
    partner->partner_missing_ = true;
    partner_ = std::move(partner);
}

Recognizer* Recognizer::Partner() {
    if (partner_loading_.joinable()) partner_loading_.join();
    if (!partner_ && !partner_missing_) LoadPartner();
    return partner_.get();
}

Recognizer* Recognizer::BorrowPartner() {
    if (partner_lent_) return nullptr;
    Recognizer* partner = Partner();
    partner_lent_ = partner != nullptr;
    return partner;
}

void Recognizer::CopySettingsTo(Recognizer& other) {
    other.api_->SetPageSegMode(api_->GetPageSegMode());
    for (const char* name : {"thresholding_method", "invert_threshold"}) {
        std::string value;
        if (api_->GetVariableAsString(name, &value)) other.api_->SetVariable(name, value.c_str());
    }
}

bool Recognizer::Init(const std::string& language, bool with_english) {
    // Looked up before Tesseract first recognises, and linked into every program that does.
    LinePicturesKeptPlain();
    // English first: it tells which languages are installed, and it is the fallback.
    auto english = std::make_unique<Recognizer>();
    if (english->api_->Init(nullptr, "eng", tesseract::OEM_DEFAULT) != 0) {
        std::fprintf(stderr, "no English recognition data is installed\n");
        return false;
    }
    english->language_ = "eng";
    const auto read_english = [&] {
        api_.swap(english->api_);
        language_ = "eng";
        return true;
    };
    if (language == "eng") return read_english();
    std::vector<std::string> installed;
    english->api_->GetAvailableLanguagesAsVector(&installed);
    std::istringstream parts(language);
    std::string part;
    bool all = !language.empty();
    while (std::getline(parts, part, '+'))
        if (std::find(installed.begin(), installed.end(), part) == installed.end()) all = false;
    if (!all) {
        std::fprintf(stderr, "recognition data for \"%s\" is not installed; recognising English\n",
                     language.c_str());
        return read_english();
    }
    if (api_->Init(nullptr, language.c_str(), tesseract::OEM_DEFAULT) != 0) {
        std::fprintf(stderr, "recognition data for \"%s\" cannot be loaded; recognising English\n",
                     language.c_str());
        return read_english();
    }
    language_ = language;
    if (with_english) english_ = std::move(english);
    return true;
}

PageText Recognizer::Recognize(Pix* page, int dpi, const std::string& input_name) {
    api_->SetImage(page);
    api_->SetSourceResolution(PageResolution(dpi, pixGetWidth(page)));
    return RecognizeLaidOut(input_name);
}

PageText Recognizer::RecognizeLaidOut(const std::string& input_name) {
    PageText text;
    api_->SetInputName(input_name.c_str());
    if (api_->Recognize(nullptr) != 0) return text;
    std::unique_ptr<tesseract::ResultIterator> it(api_->GetIterator());
    if (!it) return text;
    do {
        if (it->IsAtBeginningOf(tesseract::RIL_BLOCK) && !PTIsTextType(it->BlockType())) {
            PictureBlock block;
            if (it->BoundingBox(tesseract::RIL_BLOCK, &block.left, &block.top, &block.right, &block.bottom))
                text.pictures.push_back(block);
        }
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

PageText Recognizer::Layout(Pix* page, int dpi) {
    PageText layout;
    api_->SetImage(page);
    api_->SetSourceResolution(PageResolution(dpi, pixGetWidth(page)));
    std::unique_ptr<tesseract::PageIterator> it(api_->AnalyseLayout());
    if (!it) return layout;
    do {
        // A picture's or a rule's block holds no line a reading would read, as in RecognizeLaidOut.
        if (!PTIsTextType(it->BlockType())) {
            PictureBlock block;
            if (it->IsAtBeginningOf(tesseract::RIL_BLOCK) &&
                it->BoundingBox(tesseract::RIL_BLOCK, &block.left, &block.top, &block.right, &block.bottom))
                layout.pictures.push_back(block);
            continue;
        }
        Word w;
        if (!it->BoundingBox(tesseract::RIL_WORD, &w.left, &w.top, &w.right, &w.bottom)) continue;
        if (layout.paragraphs.empty() || it->IsAtBeginningOf(tesseract::RIL_PARA))
            layout.paragraphs.emplace_back();
        Paragraph& paragraph = layout.paragraphs.back();
        if (paragraph.lines.empty() || it->IsAtBeginningOf(tesseract::RIL_TEXTLINE))
            paragraph.lines.emplace_back();
        paragraph.lines.back().words.push_back(w);
    } while (it->Next(tesseract::RIL_WORD));
    return layout;
}

}  // namespace outside
