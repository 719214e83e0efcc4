#pragma once
// Hands-free capture in the window: runs the page watch worker on the preview frames while deskew is on and
// the live outline or auto-capture asks for it, draws the outline it finds in the view, and in
// auto-capture mode says in the status bar what it waits for and takes each new page once it lies still,
// with the capture command the user last gave (so JPEG, BMP, TIFF, gathered PDFs and OCR series all work):
// a series dialog that is open gets its capture button pressed, otherwise the command runs.
// While auto-capture is on, the stream runs at the capture size (the view scales it down), so a page is
// taken from the very frame it was seen lying still in, and cut along the outline found on that frame,
// without waiting for another frame, the switch of sizes or the settling a manual capture waits for, nor
// searching the frame for the page again; the preview size comes back when auto-capture goes off or a
// recording starts.
// GUI thread only, except the frame tap, which the streaming thread calls. Destroy it before the frame, once
// the stream has ended and the frame's messages are closed.

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/handsfree/hands_free_choices.h"
#include "pipeline/autocapture/page_watch_worker.h"

class CMainFrame;
class CCaptureRecord;

class CHandsFree : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<bool()> session_idle;    // no capture, series dialog or hand-over under way
        std::function<void()> status_changed;  // StatusText() has changed
        // Captures that gave a page (saved, gathered or handed on) so far; a failed one does not count.
        std::function<uint64_t()> pages_kept;
    };
    CHandsFree(CMainFrame* frame, CCaptureRecord& record, Hooks hooks);
    ~CHandsFree() override;

    // Adds the commands 1131.. to the frame's table.
    void AddCommands();
    // For the video widget: every preview frame, on the streaming thread.
    void OnPreviewFrame(std::shared_ptr<const platform::PreviewFrame> frame);
    // A capture has finished (WM_CAPTUREDONE, before its own handling). One that kept a page counts while
    // auto-capture is on; one the user gave marks the page lying there as taken.
    void OnCaptureDone();
    // The user gave capture command `id` (800, 1021 or 1069): auto-capture uses it from now on.
    void SetCaptureCommand(int id);

    // The newest page is to be taken again: the page lying there now counts as new.
    void RetakeNewest() { worker_->Forget(); }

    // The frame the page this is taking was seen lying still in, with the page's outline found on it (in
    // the frame's pixels), when the frame is of the capture size asked for; once only (a later capture, or
    // the user's own, grabs the camera's next frame).
    struct PageFrame {
        std::shared_ptr<const platform::PreviewFrame> frame;
        std::optional<pipeline::PageOutline> outline;
    };
    PageFrame TakePageFrame(int width, int height);

    // The stream is to stay at the capture size after a still (auto-capture holds it there).
    bool KeepsCaptureSize() const { return holding_; }
    // A capture this started has not finished yet: its page is known to lie still.
    bool TakingPage() const { return waiting_for_capture_; }
    // Before a recording starts: the stream goes back to the preview size (a recording runs at its own
    // size from there); auto-capture takes it to the capture size again afterwards.
    void ReleaseStream();

    // "Waiting for a new page", "Hold still" or "Captured page 7" (pages kept since auto-capture was
    // switched on); empty while auto-capture is off.
    const std::string& StatusText() const { return status_; }
    int Captured() const { return captured_; }
    const handsfree::Choices& Choices() const { return choices_; }
    const pipeline::PageWatchWorker& Worker() const { return *worker_; }

  private:
    void OnReport();
    void Refresh();  // after a choice or the deskew setting changed
    bool Watching() const;
    void SetStatus(std::string text);
    // `frame`: the one the page was seen lying still in, `outline` the page's in it, `page` its content.
    void Trigger(std::shared_ptr<const platform::PreviewFrame> frame,
                 const std::optional<pipeline::PageOutline>& outline, const pipeline::PageThumbnail& page);
    // Takes the stream to the capture size while auto-capture wants it, and back to the preview size
    // when it no longer does; only between captures, never during a recording.
    void HoldStream();
    bool RestartStream(int size_index);

    CMainFrame* frame_;
    CCaptureRecord& record_;
    Hooks hooks_;
    handsfree::Choices choices_;
    int capture_command_ = 800;
    int captured_ = 0;
    uint64_t taken_ = 0;                // Taken() calls made
    bool waiting_for_capture_ = false;  // a capture this triggered has not finished yet
    uint64_t kept_seen_ = 0;            // pages_kept at the end of the last capture
    bool holding_ = false;              // the stream was taken to the capture size for auto-capture
    int unoffered_size_ = -1;           // a capture size index the camera would not run at
    std::string status_;
    std::mutex report_mutex_;
    std::optional<pipeline::WatchReport> report_;  // the latest, not yet handled
    // The frame of the page being taken and its outline, until its capture takes them.
    PageFrame page_frame_;
    std::unique_ptr<pipeline::PageWatchWorker> worker_;
};
