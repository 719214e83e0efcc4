#include "outside/common/orientation_model.h"

#include <leptonica/allheaders.h>
#include <omp.h>
#include <tesseract/baseapi.h>
#include <tesseract/osdetect.h>

#include <cstdlib>
#include <mutex>

#include "platform/debuglog/debuglog.h"

namespace outside {
namespace {

// The orientation model reads a copy of the page whose letters are of a size it reads well (see
// ModelCopy), trying at most 5 x this many letters: its time grows with them (on the development set's
// pages lying each of the four ways, at 15, 20 and 30: 142, 144 and 146 of 197 turned right, the slowest
// read some 225, 185 and 285 ms of processor time on a busy machine).
constexpr const char* kModelLetters = "20";

struct PixFree {
    void operator()(Pix* pix) const { pixDestroy(&pix); }
};
using PixPtr = std::unique_ptr<Pix, PixFree>;

}  // namespace

// Engines not at work, and whether the model's data was found missing (then none is made again): of the
// orientation model, and of the Latin reading model.
struct OrientationModel::Engines {
    std::mutex mutex;
    std::array<std::vector<std::unique_ptr<tesseract::TessBaseAPI>>, 2> idle;
    std::array<bool, 2> missing{};
};

OrientationModel::OrientationModel(std::string tessdata)
    : tessdata_(std::move(tessdata)), engines_(std::make_unique<Engines>()) {}
OrientationModel::~OrientationModel() = default;

OrientationModel& OrientationModel::Shared() {
    static OrientationModel model;
    return model;
}

std::unique_ptr<tesseract::TessBaseAPI> OrientationModel::Borrow(Kind kind) {
    const auto k = static_cast<size_t>(kind);
    std::unique_ptr<tesseract::TessBaseAPI> engine;
    {
        std::lock_guard<std::mutex> lock(engines_->mutex);
        if (engines_->missing[k]) return nullptr;
        if (!engines_->idle[k].empty()) {
            engine = std::move(engines_->idle[k].back());
            engines_->idle[k].pop_back();
            return engine;
        }
    }
    {
        // Tesseract's remarks on a page with little print ("too few characters") are no news here. Where
        // they go is one setting for the whole process, set before any engine is at work.
        static std::once_flag quiet;
        std::call_once(quiet, [] { tesseract::TessBaseAPI().SetVariable("debug_file", "/dev/null"); });
        engine = std::make_unique<tesseract::TessBaseAPI>();
        const bool orientation = kind == Kind::Orientation;
        if (engine->Init(tessdata_.empty() ? nullptr : tessdata_.c_str(), orientation ? "osd" : "eng",
                         orientation ? tesseract::OEM_TESSERACT_ONLY : tesseract::OEM_LSTM_ONLY) != 0) {
            std::lock_guard<std::mutex> lock(engines_->mutex);
            if (!engines_->missing[k])
                platform::DebugLog("orientation", "no %s in %s; pages are turned without it",
                                   orientation ? "orientation data (osd.traineddata)"
                                               : "Latin reading data (eng.traineddata)",
                                   tessdata_.empty() ? "Tesseract's data folder" : tessdata_.c_str());
            engines_->missing[k] = true;
            return nullptr;
        }
        if (orientation) {
            engine->SetPageSegMode(tesseract::PSM_OSD_ONLY);
            engine->SetVariable("min_characters_to_try", kModelLetters);
        } else {
            engine->SetPageSegMode(tesseract::PSM_SINGLE_LINE);
            // Its lines are dark print already: a second reading of the line inverted costs as much again.
            engine->SetVariable("tessedit_do_invert", "0");
            // The Latin model's word lists live in Tesseract's own cache, a static made on the first such
            // load and so ended before the shared model made earlier: its engines would still hold them
            // then, and the cache would drop them unfreed. Its idle engines end first, on a handler set after
            // that load.
            static std::once_flag release;
            if (this == &Shared())
                std::call_once(release, [] { std::atexit([] { Shared().EndIdleEngines(); }); });
        }
    }
    return engine;
}

void OrientationModel::GiveBack(Kind kind, std::unique_ptr<tesseract::TessBaseAPI> engine) {
    std::lock_guard<std::mutex> lock(engines_->mutex);
    engines_->idle[static_cast<size_t>(kind)].push_back(std::move(engine));
}

void OrientationModel::EndIdleEngines() {
    std::lock_guard<std::mutex> lock(engines_->mutex);
    for (auto& idle : engines_->idle) idle.clear();
}

void OrientationModel::Prepare() {
    for (const Kind kind : {Kind::Orientation, Kind::Reading})
        if (auto engine = Borrow(kind)) GiveBack(kind, std::move(engine));
}

namespace {

// A grey picture as Leptonica's, at the given resolution.
PixPtr PixOf(const cv::Mat& grey, int resolution) {
    PixPtr pix(pixCreate(grey.cols, grey.rows, 8));
    for (int y = 0; y < grey.rows; ++y) {
        l_uint32* line = pixGetData(pix.get()) + y * pixGetWpl(pix.get());
        const uint8_t* row = grey.ptr(y);
        for (int x = 0; x < grey.cols; ++x) SET_DATA_BYTE(line, x, row[x]);
    }
    pixSetResolution(pix.get(), resolution, resolution);
    return pix;
}

}  // namespace

std::optional<double> OrientationModel::ReadingConfidence(const cv::Mat& grey) {
    if (grey.empty() || grey.type() != CV_8UC1) return std::nullopt;
    std::unique_ptr<tesseract::TessBaseAPI> engine = Borrow(Kind::Reading);
    if (!engine) return std::nullopt;
    // Its print is of the size the model reads at 300 dots an inch.
    PixPtr pix = PixOf(grey, 300);
    engine->SetImage(pix.get());
    engine->SetSourceResolution(300);
    // The model spreads its work over four threads, which wait for more spinning: on a line of a few dozen
    // letters that cost three or four times the processor time for a few milliseconds less. Its parallel
    // steps run on this thread alone (the limit is this thread's own, and put back after).
    const int levels = omp_get_max_active_levels();
    omp_set_max_active_levels(0);
    std::optional<double> result;
    if (engine->Recognize(nullptr) == 0) result = engine->MeanTextConf();
    omp_set_max_active_levels(levels);
    engine->Clear();
    GiveBack(Kind::Reading, std::move(engine));
    return result;
}

std::optional<ModelTurn> OrientationModel::Detect(const cv::Mat& grey) {
    if (grey.empty() || grey.type() != CV_8UC1) return std::nullopt;
    std::unique_ptr<tesseract::TessBaseAPI> engine = Borrow(Kind::Orientation);
    if (!engine) return std::nullopt;
    // The model sizes letters by the picture's own resolution: as for a sheet of A4 across the copy's long
    // side.
    const int resolution = std::max(70, static_cast<int>(std::max(grey.cols, grey.rows) / 11.69));
    PixPtr pix = PixOf(grey, resolution);
    engine->SetImage(pix.get());
    engine->SetSourceResolution(resolution);
    std::optional<ModelTurn> result;
    tesseract::OSResults scores;
    if (engine->DetectOS(&scores)) {
        // The model numbers its orientations by how far the print is turned clockwise; turning it back
        // is the rest of a full turn.
        ModelTurn answer;
        for (int id = 0; id < 4; ++id)
            answer.score[static_cast<size_t>((4 - id) % 4)] = scores.orientations[id];
        answer.turn = (4 - scores.best_result.orientation_id % 4) % 4;
        answer.confidence = scores.best_result.oconfidence;
        result = answer;
    }
    engine->Clear();
    GiveBack(Kind::Orientation, std::move(engine));
    return result;
}

}  // namespace outside
