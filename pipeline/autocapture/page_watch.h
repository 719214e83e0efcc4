#pragma once
// Hands-free capture's decision: fed the downscaled preview frames with the page outline the detector
// found in each, it says whether to wait for a new page, to wait for the page to lie still, or to take
// it now. A page is still when its content, seen through its outline, and the outline itself have not
// changed for the still time; it is new when its content differs from the page taken last, so a page that
// was only moved, or that a hand passed over without turning, is not taken again. Plain C++, no I/O; one
// thread at a time.

#include <array>
#include <cstdint>
#include <optional>

namespace pipeline {

struct PagePoint {
    double x = 0;
    double y = 0;
};
// In frame pixels: top-left, top-right, bottom-right, bottom-left.
using PageOutline = std::array<PagePoint, 4>;

// An 8-bit grey frame; the pixels are only read during the call they are passed to.
struct GreyFrame {
    const uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int stride = 0;
};

// The page's content at a fixed small size, brightness and contrast taken out, so that the same page
// under other light or in another place on the desk gives nearly the same values.
inline constexpr int kThumbnailSide = 32;
struct PageThumbnail {
    std::array<float, kThumbnailSide * kThumbnailSide> values{};
};

// Samples the inside of the outline (its border left out, where desk and shadow show).
PageThumbnail MakeThumbnail(const GreyFrame& frame, const PageOutline& outline);
// Mean absolute difference of two thumbnails: near 0 for the same page, about 1 for unrelated content.
double ThumbnailDifference(const PageThumbnail& a, const PageThumbnail& b);

enum class WatchState {
    NoPage,      // no page outlined
    SamePage,    // the page lying there is the one taken last
    HoldStill,   // a new page, not yet still for the still time (or moving, or under a hand)
    CaptureNow,  // a new page, still for the still time
};

struct PageWatchSettings {
    int still_ms = 800;
    // Thumbnail difference from the start of the still time above which the page has moved.
    double motion_limit = 0.12;
    // Corner movement, as a fraction of the frame's diagonal, above which the page has moved.
    double corner_limit = 0.012;
    // Thumbnail difference from the page taken last below which it is the same page.
    double same_page_limit = 0.25;
};

class PageWatch {
  public:
    explicit PageWatch(PageWatchSettings settings = {}) : settings_(settings) {}

    // One frame at `time_ms` (any steady clock), with the outline found in it, if any. A time before the
    // last one (the stream restarted on a clock of its own) starts the still time again.
    WatchState Observe(const GreyFrame& frame, const std::optional<PageOutline>& outline, int64_t time_ms);
    // The page of a CaptureNow has been taken: `page` is the thumbnail of the frame decided on (Current()
    // right after that Observe), not of whatever frame came since, so a page turned or covered while the
    // capture was under way is not mistaken for the one taken.
    void Taken(const PageThumbnail& page);
    // A page was taken without this watch deciding it (the user's own capture): the page lying there is the
    // one not to take again. That is the page of the latest outlined frame; when none has been seen since
    // the watch began or was unwatched, the next page seen is taken as that page.
    void Taken();
    // Forgets the page taken last (a new document begins).
    void Forget();
    // Frames were not watched for a while: the pages seen before count no more (the page taken still does).
    void Unwatched();

    // The page of the latest frame, when it was outlined.
    const std::optional<PageThumbnail>& Current() const { return current_; }

    void SetStillMs(int still_ms) { settings_.still_ms = still_ms; }
    const PageWatchSettings& Settings() const { return settings_; }

  private:
    PageWatchSettings settings_;
    // The still time's start: when the page last moved, and how it looked and lay then.
    std::optional<PageThumbnail> anchor_;
    PageOutline anchor_outline_{};
    int64_t still_since_ms_ = 0;
    std::optional<int64_t> last_time_ms_;
    std::optional<PageThumbnail> current_;
    std::optional<PageThumbnail> last_seen_;  // of the latest outlined frame, kept while the page is lost
    std::optional<PageThumbnail> taken_;
    bool taken_unseen_ = false;  // a page was taken before any was seen: the next one seen is it
};

// The status bar's text for a state. Once a page is taken the program says "Captured page N" instead,
// until a new page is on its way.
const char* WatchStatusText(WatchState state);

}  // namespace pipeline
