#include "outside/fasize/fasize.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "outside/common/bmp_source.h"
#include "outside/common/dib_mat.h"
#include "outside/fasize/card_detector.h"
#include "outside/fasize/card_files.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

#define FASIZE_EXPORT __attribute__((visibility("default")))

namespace {

struct Detector {
    int max_cards = 100;
};

struct FoundCard {
    cv::Mat picture;
    outside::CardEntry entry;  // number and file are filled in when saving
};

struct Job {
    std::vector<FoundCard> cards;
    int32_t x_pixels_per_meter = 0;
    int32_t y_pixels_per_meter = 0;
};

void SetStatus(int* status, int value) {
    if (status != nullptr) *status = value;
}

outside::CardEntry Placement(const outside::Quad& quad) {
    double left = quad.corners[0].x, right = left, top = quad.corners[0].y, bottom = top;
    for (const auto& c : quad.corners) {
        left = std::min(left, c.x);
        right = std::max(right, c.x);
        top = std::min(top, c.y);
        bottom = std::max(bottom, c.y);
    }
    outside::CardEntry entry;
    entry.left = static_cast<int>(std::lround(left));
    entry.top = static_cast<int>(std::lround(top));
    entry.width = static_cast<int>(std::lround(right - left));
    entry.height = static_cast<int>(std::lround(bottom - top));
    entry.angle_degrees = outside::QuadAngleDegrees(quad);
    return entry;
}

bool WriteCard(const FoundCard& card, const Job& job, const std::string& path) {
    auto bmp = outside::EncodeBgrAsBmp(card.picture, job.x_pixels_per_meter, job.y_pixels_per_meter);
    return bmp && platform::WriteFileReplacing(path, *bmp);
}

// Writes the list and then the card files; on any failure what was written is removed again. The list
// goes first so that a picture overwritten by a single card always has its list beside it.
bool SaveCards(const Job& job, const std::string& path) {
    const bool one = job.cards.size() == 1;
    std::vector<outside::CardEntry> entries;
    for (size_t i = 0; i < job.cards.size(); ++i) {
        outside::CardEntry entry = job.cards[i].entry;
        entry.number = static_cast<int>(i) + 1;
        entry.file = one ? path : outside::CardFilePath(path, entry.number);
        entries.push_back(entry);
    }
    std::string list = outside::CardListPath(path);
    std::vector<std::string> written;
    // A picture named "*.txt" would be its own list: the list is left out rather than written over it.
    if (list != path) {
        if (!platform::WriteFileReplacing(list, outside::CardListText(entries))) {
            platform::DebugLog("fasize", "cannot write the card list %s", list.c_str());
            return false;
        }
        written.push_back(list);
    }
    for (size_t i = 0; i < job.cards.size(); ++i) {
        if (!WriteCard(job.cards[i], job, entries[i].file)) {
            platform::DebugLog("fasize", "cannot write card %d to %s", entries[i].number,
                               entries[i].file.c_str());
            for (const auto& file : written) platform::DeleteFile(file);
            return false;
        }
        if (!one) written.push_back(entries[i].file);
    }
    return true;
}

}  // namespace

extern "C" {

// Nothing may leave these functions as an exception (allocation or OpenCV failures become results).
FASIZE_EXPORT KVOFASIZE_HANDLE kvoFASize_Init(int max_cards, int /*mode*/) try {
    auto detector = std::make_unique<Detector>();
    detector->max_cards = std::clamp(max_cards, 1, 100);
    return detector.release();
} catch (...) {
    return nullptr;
}

FASIZE_EXPORT void kvoFASize_SetOrientation(KVOFASIZE_HANDLE, int) {}

FASIZE_EXPORT KVOFASIZE_JOB kvoFASize_StartA(KVOFASIZE_HANDLE handle, const char* path, int,
                                             int* status) try {
    if (handle == nullptr || path == nullptr) {
        SetStatus(status, kKvoFASizeBadArgument);
        return nullptr;
    }
    // A picture whose own name ends in ".txt" is its own "card list": it is read, never deleted.
    if (const std::string list = outside::CardListPath(path); list != path) platform::DeleteFile(list);
    auto bmp = outside::LoadBmp(path, "fasize");
    if (!bmp) {
        SetStatus(status, kKvoFASizeBadPicture);
        return nullptr;
    }
    cv::Mat picture = outside::DibToBgr(bmp->view);
    auto quads = outside::DetectCards(picture, static_cast<const Detector*>(handle)->max_cards);
    if (quads.empty()) {
        platform::DebugLog("fasize", "no card in %s", path);
        SetStatus(status, kKvoFASizeNotFound);
        return nullptr;
    }
    auto job = std::make_unique<Job>();
    job->x_pixels_per_meter = bmp->view.x_pixels_per_meter;
    job->y_pixels_per_meter = bmp->view.y_pixels_per_meter;
    for (const auto& quad : quads)
        job->cards.push_back({outside::StraightenQuad(picture, quad, outside::kCropInset), Placement(quad)});
    platform::DebugLog("fasize", "%zu card(s) in %s", quads.size(), path);
    SetStatus(status, kKvoFASizeOk);
    return job.release();
} catch (...) {
    platform::DebugLog("fasize", "detection failed on %s", path != nullptr ? path : "(null)");
    SetStatus(status, kKvoFASizeBadPicture);
    return nullptr;
}

FASIZE_EXPORT void kvoFASize_SaveImageA(KVOFASIZE_HANDLE handle, KVOFASIZE_JOB job, const char* path,
                                        int) try {
    if (handle == nullptr || job == nullptr || path == nullptr) return;
    SaveCards(*static_cast<const Job*>(job), path);
} catch (...) {
    platform::DebugLog("fasize", "saving the cards of %s failed", path);
}

FASIZE_EXPORT void kvoFASize_End(KVOFASIZE_JOB job) { std::unique_ptr<Job> owned(static_cast<Job*>(job)); }

FASIZE_EXPORT void kvoFASize_Clear(KVOFASIZE_HANDLE handle) {
    std::unique_ptr<Detector> owned(static_cast<Detector*>(handle));
}

}  // extern "C"
