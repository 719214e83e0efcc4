#pragma once
// The live outline's thread: preview frames handed in from the streaming thread are downscaled, the page
// detector is run on them and the hands-free decision made, and each result is reported from this
// thread (the program posts it on to the main frame). It never holds up the stream: a frame handed in
// while one is being examined replaces the one waiting, so frames are dropped when the detector is busy.
// It examines at most kMaxFramesPerSecond frames a second, and a frame that looks as the one last run
// through the detector did keeps that outline without running it again, so a page lying still costs little.
// Each frame is timed by the camera's own time when it carries one, else by its examination.
//
// Submit() from any thread; the rest from one controlling thread (the GUI thread). The report runs on
// the worker's thread. The destructor stops the thread and waits for it.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "media/capture_graph.h"
#include "pipeline/autocapture/page_watch.h"

namespace pipeline {

struct WatchReport {
    uint64_t sequence = 0;  // of the frame examined
    int frame_width = 0;    // of the preview frame
    int frame_height = 0;
    std::optional<PageOutline> outline;  // in the preview frame's pixels
    WatchState state = WatchState::NoPage;
    // Taken() calls made before this frame was decided on: a report decided before the latest one is
    // stale (its CaptureNow is about the page already taken).
    uint64_t taken = 0;
    // CaptureNow only: the full-size frame decided on, so the still can be made of it (shared, not copied),
    // and its page's content, to be handed back to Taken() once the page is being taken.
    std::shared_ptr<const platform::PreviewFrame> frame;
    std::optional<PageThumbnail> page;
};

class PageWatchWorker {
  public:
    // Frames are examined at most this wide (the detector's cost grows with the picture).
    static constexpr int kWorkingWidth = 320;
    static constexpr int kMaxFramesPerSecond = 15;

    explicit PageWatchWorker(std::function<void(const WatchReport&)> report, PageWatchSettings settings = {});
    ~PageWatchWorker();
    PageWatchWorker(const PageWatchWorker&) = delete;
    PageWatchWorker& operator=(const PageWatchWorker&) = delete;

    // While off, frames handed in are let go at once (nothing is examined).
    void SetActive(bool active);
    // A preview frame (BGRx rows, top-down); never blocks on the examination.
    void Submit(std::shared_ptr<const platform::PreviewFrame> frame);

    // The page of a CaptureNow report (its `page`) is being taken; Taken() without one: the user took the
    // page lying there (see PageWatch). A new document forgets it.
    void Taken(const PageThumbnail& page);
    void Taken();
    void Forget();
    void SetStillMs(int still_ms);

    uint64_t Examined() const { return examined_.load(); }
    uint64_t Dropped() const { return dropped_.load(); }
    // Frames the detector ran on (the others kept the outline of an unchanged picture).
    uint64_t Detected() const { return detected_.load(); }

  private:
    void Run();
    struct Pictures;
    // The frame's outline at the working size, from the detector or, when the picture has not changed
    // since the detector last ran, as it found it then.
    std::optional<PageOutline> Outline(Pictures& pictures);

    std::function<void(const WatchReport&)> report_;
    std::atomic<bool> active_{false};
    std::atomic<uint64_t> examined_{0};
    std::atomic<uint64_t> dropped_{0};
    std::atomic<uint64_t> detected_{0};
    // The worker thread's: buffers kept from frame to frame, and the picture the detector last saw.
    std::unique_ptr<Pictures> pictures_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::shared_ptr<const platform::PreviewFrame> waiting_;
    bool stopping_ = false;
    // The decision; the controlling thread changes it between two frames.
    std::mutex watch_mutex_;
    PageWatch watch_;
    uint64_t taken_ = 0;
    std::thread thread_;  // last: started once everything above exists
};

}  // namespace pipeline
