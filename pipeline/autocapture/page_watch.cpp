#include "pipeline/autocapture/page_watch.h"

#include <algorithm>
#include <cmath>

namespace pipeline {
namespace {

// The part of the outline sampled: its border is left out.
constexpr double kInset = 0.05;
// Samples averaged into each thumbnail cell, per side: print is finer than a cell and would alias.
constexpr int kSubsamples = 4;
// A page with less contrast than this (in grey levels) is taken as blank: its noise is not stretched.
constexpr double kMinSpread = 8.0;

PagePoint Lerp(const PagePoint& a, const PagePoint& b, double t) {
    return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
}

double Sample(const GreyFrame& frame, double x, double y) {
    const int ix = std::clamp(static_cast<int>(std::lround(x)), 0, frame.width - 1);
    const int iy = std::clamp(static_cast<int>(std::lround(y)), 0, frame.height - 1);
    return frame.pixels[static_cast<size_t>(iy) * frame.stride + ix];
}

}  // namespace

PageThumbnail MakeThumbnail(const GreyFrame& frame, const PageOutline& o) {
    PageThumbnail thumbnail;
    if (frame.pixels == nullptr || frame.width <= 0 || frame.height <= 0) return thumbnail;
    constexpr int n = kThumbnailSide * kSubsamples;
    double sum = 0, squares = 0;
    for (int row = 0; row < kThumbnailSide; ++row) {
        for (int column = 0; column < kThumbnailSide; ++column) {
            double cell = 0;
            for (int sy = 0; sy < kSubsamples; ++sy) {
                const double v = kInset + (1 - 2 * kInset) * (row * kSubsamples + sy + 0.5) / n;
                const PagePoint left = Lerp(o[0], o[3], v), right = Lerp(o[1], o[2], v);
                for (int sx = 0; sx < kSubsamples; ++sx) {
                    const double u = kInset + (1 - 2 * kInset) * (column * kSubsamples + sx + 0.5) / n;
                    const PagePoint at = Lerp(left, right, u);
                    cell += Sample(frame, at.x, at.y);
                }
            }
            cell /= kSubsamples * kSubsamples;
            thumbnail.values[row * kThumbnailSide + column] = static_cast<float>(cell);
            sum += cell;
            squares += cell * cell;
        }
    }
    const double count = kThumbnailSide * kThumbnailSide;
    const double mean = sum / count;
    const double spread = std::max(kMinSpread, std::sqrt(std::max(0.0, squares / count - mean * mean)));
    for (float& value : thumbnail.values) value = static_cast<float>((value - mean) / spread);
    return thumbnail;
}

double ThumbnailDifference(const PageThumbnail& a, const PageThumbnail& b) {
    double sum = 0;
    for (size_t i = 0; i < a.values.size(); ++i) sum += std::abs(a.values[i] - b.values[i]);
    return sum / static_cast<double>(a.values.size());
}

WatchState PageWatch::Observe(const GreyFrame& frame, const std::optional<PageOutline>& outline,
                              int64_t time_ms) {
    if (last_time_ms_ && time_ms < *last_time_ms_) anchor_.reset();
    last_time_ms_ = time_ms;
    if (!outline) {
        anchor_.reset();
        current_.reset();
        return WatchState::NoPage;
    }
    current_ = MakeThumbnail(frame, *outline);
    last_seen_ = current_;
    if (taken_unseen_) {
        taken_unseen_ = false;
        taken_ = current_;
    }
    const double diagonal = std::hypot(frame.width, frame.height);
    bool moved = !anchor_ || ThumbnailDifference(*anchor_, *current_) > settings_.motion_limit;
    for (int i = 0; i < 4 && !moved; ++i)
        moved = std::hypot((*outline)[i].x - anchor_outline_[i].x, (*outline)[i].y - anchor_outline_[i].y) >
                settings_.corner_limit * diagonal;
    if (moved) {
        anchor_ = current_;
        anchor_outline_ = *outline;
        still_since_ms_ = time_ms;
    }
    if (taken_ && ThumbnailDifference(*taken_, *current_) < settings_.same_page_limit)
        return WatchState::SamePage;
    return time_ms - still_since_ms_ >= settings_.still_ms ? WatchState::CaptureNow : WatchState::HoldStill;
}

void PageWatch::Taken(const PageThumbnail& page) {
    taken_ = page;
    taken_unseen_ = false;
}

void PageWatch::Taken() {
    if (last_seen_)
        Taken(*last_seen_);
    else
        taken_unseen_ = true;
}

void PageWatch::Forget() {
    taken_.reset();
    taken_unseen_ = false;
}

void PageWatch::Unwatched() {
    anchor_.reset();
    current_.reset();
    last_seen_.reset();
}

const char* WatchStatusText(WatchState state) {
    return state == WatchState::HoldStill || state == WatchState::CaptureNow ? "Hold still"
                                                                             : "Waiting for a new page";
}

}  // namespace pipeline
