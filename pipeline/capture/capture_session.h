#pragma once
// One still capture across its threads: the capture command (on the GUI thread or a series dialog's thread)
// records the request (a copy of the settings it uses), the grabber's frame handler copies the frame on the
// streaming thread, and the worker thread writes the capture picture, straightens, turns, converts and saves
// it or hands it on. A grab request that gets no frame within a bound is given up, so no capture sticks. One
// capture at a time: the command sets the grab request last, the grabber clears it first, the worker clears
// the busy flag last; what follows a capture (a series dialog, a hand-over thread) starts only after that,
// since a dialog's capture button begins the next capture.
//
// The session owns every thread it starts (the worker, the series dialogs' threads, the hand-over threads)
// and waits for them when it is destroyed; close the frame's message target first, so that a thread waiting
// on the window is let go.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "media/capture_graph.h"
#include "pipeline/autocapture/page_watch.h"
#include "pipeline/capture/capture_file.h"
#include "pipeline/capture/capture_request.h"
#include "pipeline/capture/capture_rules.h"
#include "pipeline/capture/hand_over.h"
#include "pipeline/naming/file_naming.h"
#include "pipeline/pagelist/page_file_list.h"

namespace platform {
class MessageTarget;
}

namespace pipeline {

// The grabber's capture request flags and the program's busy flag.
struct CaptureFlags {
    std::atomic<uint8_t>& grab_requested;
    std::atomic<uint8_t>& ocr_capture;
    std::atomic<uint8_t>& card_capture;
    std::atomic<uint8_t>& capture_busy;
};

// The dialogs a capture leads to. Each is the whole procedure of its dialog's thread (show the dialog through
// the frame, then run the button's command on this thread); the session runs it on a new thread of its own,
// except continue_ocr, which the worker and the hand-over thread run on their own thread. An empty one is
// skipped with a line in the debug log.
struct SeriesDialogs {
    std::function<void()> continue_capture;  // CContinueCapture: after a saved picture, "CONTINUOUS FILE" on
    std::function<void()> transform;         // CTransform: a page gathered for one PDF
    std::function<void()> ocr_transform;     // COcrTransform: pages gathered for OCR or the card program
    std::function<void()> continue_ocr;      // CContinueOcr: after a hand-over of a series
};

// Progress of a PDF being written: total pages and pages done.
using PdfProgressFn = std::function<void(unsigned long total, unsigned long done)>;

class CaptureSession {
  public:
    explicit CaptureSession(CaptureFlags flags);
    // Ends the hand-overs under way (their pictures are kept) and waits for every thread of the session.
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Set once on the GUI thread before the first capture.
    // Gets WM_CAPTUREDONE, sent at the end of every worker.
    platform::MessageTarget* m_pFrameTarget = nullptr;
    HandOverServices m_handOver;
    SeriesDialogs m_dialogs;
    // The reports to the user. Each is called on a session thread once the capture has ended, so it may
    // wait on the frame (one message box); an empty one leaves the debug log's line alone.
    // A picture could not be saved (the save folder gone or read-only, the disk full): the output name
    // that failed and the name the picture is kept under.
    std::function<void(const std::string& output, const std::string& kept)> m_reportUnsaved;
    // A hand-over failed: what went wrong, and where its pictures are kept (the save folder when it can
    // take them).
    std::function<void(const std::string& problem, const std::vector<std::string>& kept)> m_reportHandOver;
    // The camera sent no frame for the capture within the bound; the capture was given up.
    std::function<void()> m_reportNoFrame;
    // The frame could not be written to the private temporary folder, so nothing was saved: why, in plain
    // words.
    std::function<void(const std::string& reason)> m_reportUnwritten;
    // How long a grab request waits for its frame before the capture is given up: a few frame times at
    // the slowest size the camera offers (2.5 a second), and the first frame after a size switch.
    std::chrono::milliseconds m_grabBound{5000};
    // Added to the bound when the stream was just restarted at the capture size: a camera starting at its
    // largest size on a busy machine can take longer than that for its first frame, and giving up would
    // tell the user the camera sent nothing.
    std::chrono::milliseconds m_restartAllowance{15000};

    // The capture command, on the GUI thread, just before it sets the grab request (whose store
    // publishes this): the capture's settings, frame size and capture area, read from now on instead
    // of the live record. Also starts the wait for the frame.
    void PrepareCapture(CaptureRequest request);

    // The grabber's frame handler, on the streaming thread: the frame is copied and the worker started
    // on it; the names, the capture file and everything after happen there. When no worker can start,
    // the text and card flags and the busy flag are cleared and WM_CAPTUREDONE is posted (not sent: its
    // handler restarts the stream, which waits for this thread), so the preview comes back.
    void SaveFrameToTemp(const CaptureFrame& frame);
    // Instead of a grab request, on the capture command's thread: a preview frame already at hand (the one
    // auto-capture saw the page lie still in, 32-bit B,G,R,x top-down) is the capture's frame. It is
    // converted on the worker's thread, so nothing waits for it here; the capture then goes on as after
    // SaveFrameToTemp.
    // With deskew on and no capture area, a page outline found on that frame (in its pixels) is the page's:
    // it is refitted on the full-size frame instead of the page being searched for again.
    void SaveKeptFrame(std::shared_ptr<const platform::PreviewFrame> frame,
                       std::optional<PageOutline> outline = std::nullopt);

    // CTransform's finish, on the caller's thread: withdraws a pending grab request, writes one PDF of every
    // listed page under the output name made for the last page (or the next free one, when that was taken
    // meanwhile), then deletes the pages. True when written.
    bool MakeGatheredPdf(const PdfProgressFn& progress);
    // COcrTransform's finish, on the caller's thread: the listed pages to the OCR engine or the card program
    // by the hand-over target, the series' files deleted once handed over (else kept and reported), the
    // flags cleared, the target back to 0.
    void FinishOcrSeries();

    // Where an OCR capture goes: 0 the OCR engine, 1 a business-card program. Set by the commands; each
    // capture takes its value into its request.
    std::atomic<int> m_nHandOverTarget{0};

    // Blocks until the worker and every thread the session started have ended (tests, shutdown).
    void WaitIdle();
    // True when none of the session's threads runs (no worker, no series dialog, no hand-over).
    bool Idle();
    // Captures that gave a page so far: saved, put on the page list, or handed on. Counted before the
    // capture's WM_CAPTUREDONE, so its handler sees whether this capture gave one. Any thread.
    uint64_t PagesKept() const { return pages_kept_.load(); }

    // The picture names and the page list. Used by one thread at a time, as the capture's steps follow
    // each other (the worker, then a series dialog's thread).
    CFileNaming m_naming;
    PageFileList m_pages;

  private:
    using Request = std::shared_ptr<const CaptureRequest>;
    // The frame as the streaming thread copied it, or as auto-capture kept it: then `bytes` are made
    // only when the whole frame is written.
    struct OwnedFrame {
        std::vector<uint8_t> bytes;
        int width = 0;
        int height = 0;
        std::shared_ptr<const platform::PreviewFrame> kept;
        std::optional<PageOutline> outline;  // found on the kept frame
        // When the frame was taken: the worker's steps are timed from here in the debug log.
        std::chrono::steady_clock::time_point taken = std::chrono::steady_clock::now();
    };

    int CaptureWorker(const Request& request, OwnedFrame& frame);
    // The pending capture's request, the frame counted as come; nothing when no capture was asked for.
    Request FrameCame();
    // One page to the OCR engine (target 0) or the card program (target 1), on a thread of its own. The
    // page comes under a name of its own, so the next capture cannot overwrite it.
    void OcrHandOver(const Request& request, const std::string& picture);
    // False when no thread could be started.
    bool StartThread(std::function<void()> procedure);

    // The worker's steps. Each returns what follows once the capture has ended (a series dialog, the
    // hand-over thread, a report), or nothing: a dialog's capture button starts the next capture, which
    // must not meet this one's busy flag being cleared or its preview being restored.
    using FollowUp = std::function<void()>;
    // `kept`: the picture was saved or put on the page list.
    FollowUp SavePicture(const Request& request, bool& kept);
    FollowUp HandOverCards(const Request& request, int cards, bool card_capture);
    FollowUp HandOverOnePage(const Request& request);
    // After a hand-over: the pictures deleted when it is done, left to the program that took them over,
    // or moved into the save folder when it failed; the pictures kept (to tell the user of).
    std::vector<std::string> SettleHandOver(const CaptureRequest& request, const HandOverResult& result,
                                            const std::vector<std::string>& pictures);
    // Tells the user once of the pictures a failed hand-over left (nothing when there are none).
    void ReportKept(const std::string& problem, const std::vector<std::string>& kept);
    // Busy cleared, then WM_CAPTUREDONE sent: the capture's last two steps.
    void EndCapture();
    // The capture ends before its worker: the flags cleared and the frame told without waiting.
    void AbandonCapture();
    // Waits on its own thread for the frame of capture `armed`; gives the capture up when none came.
    void WatchForFrame(uint64_t armed, std::chrono::milliseconds bound);
    void StartDialog(const std::function<void()>& dialog, const char* name);
    // Runs the dialog's procedure on the calling thread.
    void ShowHere(const std::function<void()>& dialog, const char* name);

    CaptureFlags flags_;
    std::atomic<uint64_t> pages_kept_{0};
    // The request of the capture asked for, and of the pages waiting on the list.
    std::mutex request_mutex_;
    Request pending_;
    Request series_;
    // The wait for the frame: captures are counted as they are armed and as their frame arrives.
    std::condition_variable frame_signal_;
    uint64_t armed_ = 0;
    uint64_t framed_ = 0;
    bool closing_ = false;

    struct SessionThread {
        std::thread thread;
        std::atomic<bool> ended{false};
    };
    std::mutex threads_mutex_;
    std::list<SessionThread> threads_;
};

// The PDF sequence every document goes through: bmp2pdf with JPEG pages at quality 80, 8-point margins, each
// page at the picture's own size, no page text; `joined` holds the page paths each followed by "*". The
// pages are not deleted here. True when the document was written.
bool MakePdf(int count, const std::string& joined, const std::string& target, const PdfProgressFn& progress);

}  // namespace pipeline
