#pragma once
// Hands-free capture in the window: runs the page watch worker on the preview frames while deskew is on and
// the live outline or auto-capture asks for it, draws the outline it finds in the view, and in
// auto-capture mode says in the status bar what it waits for and takes each new page once it lies still,
// with the capture command the user last gave (so JPEG, BMP, TIFF, gathered PDFs and OCR series all work):
// a series dialog that is open gets its capture button pressed, otherwise the command runs.
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
    };
    CHandsFree(CMainFrame* frame, CCaptureRecord& record, Hooks hooks);
    ~CHandsFree() override;

    // Adds the commands 1131.. to the frame's table.
    void AddCommands();
    // For the video widget: every preview frame, on the streaming thread.
    void OnPreviewFrame(std::shared_ptr<const platform::PreviewFrame> frame);
    // A capture has finished (WM_CAPTUREDONE, before its own handling).
    void OnCaptureDone();
    // The user gave capture command `id` (800, 1021 or 1069): auto-capture uses it from now on.
    void SetCaptureCommand(int id) { capture_command_ = id; }

    // The newest page is to be taken again: the page lying there now counts as new.
    void RetakeNewest() { worker_->Forget(); }

    // "Waiting for a new page", "Hold still" or "Captured page 7"; empty while auto-capture is off.
    const std::string& StatusText() const { return status_; }
    int Captured() const { return captured_; }
    const handsfree::Choices& Choices() const { return choices_; }
    const pipeline::PageWatchWorker& Worker() const { return *worker_; }

  private:
    void OnReport();
    void Refresh();  // after a choice or the deskew setting changed
    bool Watching() const;
    void SetStatus(std::string text);
    void Trigger();

    CMainFrame* frame_;
    CCaptureRecord& record_;
    Hooks hooks_;
    handsfree::Choices choices_;
    int capture_command_ = 800;
    int captured_ = 0;
    uint64_t taken_ = 0;                // Taken() calls made
    bool waiting_for_capture_ = false;  // a capture this triggered has not finished yet
    std::string status_;
    std::mutex report_mutex_;
    std::optional<pipeline::WatchReport> report_;  // the latest, not yet handled
    std::unique_ptr<pipeline::PageWatchWorker> worker_;
};
