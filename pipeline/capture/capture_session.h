#pragma once
// One still capture across its threads: the capture command (on the GUI thread or a series dialog's thread)
// records the request, the grabber's frame handler writes the picture on the streaming thread, and the worker
// thread straightens, turns, converts and saves it or hands it on. One capture at a time: the command sets the
// grab request last, the grabber clears it first, the worker clears the busy flag last; what follows a
// capture (a series dialog, a hand-over thread) starts only after that, since a dialog's capture button
// begins the next capture.
//
// The session owns every thread it starts (the worker, the series dialogs' threads, the hand-over threads)
// and waits for them when it is destroyed; close the frame's message target first, so that a thread waiting
// on the window is let go.

#include <atomic>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>

#include "pipeline/capture/capture_file.h"
#include "pipeline/capture/capture_rules.h"
#include "pipeline/capture/hand_over.h"
#include "pipeline/naming/file_naming.h"
#include "pipeline/pagelist/page_file_list.h"

class CVellumoSettings;
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
    CaptureSession(const CVellumoSettings& settings, CaptureFlags flags);
    ~CaptureSession();
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;

    // Set once on the GUI thread before the first capture.
    platform::MessageTarget* m_hFrameWnd = nullptr;  // gets WM_CAPTUREDONE, sent at the end of every worker
    HandOverServices m_handOver;
    SeriesDialogs m_dialogs;
    // When a picture could not be saved (the save folder gone or read-only, the disk full): the output
    // name that failed and the name the picture is kept under. Called on the worker's thread once the
    // capture has ended, so it may wait on the frame (one message to the user). Empty: the debug log only.
    std::function<void(const std::string& output, const std::string& kept)> m_reportUnsaved;

    // The capture command, before it sets the grab request (whose store publishes these): the frame size,
    // and the view's capture area and video rectangle in its client coordinates.
    void PrepareCapture(int capture_width, int capture_height, const ViewRect& selection, const ViewRect& video);

    // The grabber's frame handler, on the streaming thread: the names, the temporary capture file, then the
    // worker on its own thread. The frame is read only during the call. When the file cannot be written no
    // worker starts: the text and card flags and the busy flag are cleared and WM_CAPTUREDONE is posted (not
    // sent: its handler restarts the stream, which waits for this thread), so the preview comes back.
    void SaveFrameToTemp(const CaptureFrame& frame);

    // CTransform's finish, on the caller's thread: withdraws a pending grab request, writes one PDF of every
    // listed page under the output name made for the last page, then deletes the pages. True when written.
    bool MakeGatheredPdf(const PdfProgressFn& progress);
    // COcrTransform's finish, on the caller's thread: the listed pages to the OCR engine or the card program
    // by the hand-over target, the series' files deleted, the flags cleared, the target back to 0.
    void FinishOcrSeries();

    // Where an OCR capture goes: 0 the OCR engine, 1 a business-card program.
    std::atomic<int> m_nHandOverTarget{0};

    // Blocks until the worker and every thread the session started have ended (tests, shutdown).
    void WaitIdle();
    // True when none of the session's threads runs (no worker, no series dialog, no hand-over).
    bool Idle();

    // The picture names and the page list. Used by one thread at a time, as the capture's steps follow
    // each other (the streaming thread, then the worker, then a series dialog's thread).
    CFileNaming m_naming;
    PageFileList m_pages;

  private:
    int CaptureWorker();
    // One page to the OCR engine (target 0) or the card program (target 1), on a thread of its own. The
    // page comes under a name of its own and the target as it was when the capture ended, so the next
    // capture can neither overwrite the one nor change the other.
    void OcrHandOver(const std::string& picture, int target);
    // False when no thread could be started.
    bool StartThread(std::function<void()> procedure);

    // The worker's steps. Each returns what follows once the capture has ended (a series dialog, the
    // hand-over thread), or nothing: a dialog's capture button starts the next capture, which must not
    // meet this one's busy flag being cleared or its preview being restored.
    using FollowUp = std::function<void()>;
    FollowUp SavePicture();
    FollowUp HandOverCards(int cards, bool card_capture);
    FollowUp HandOverOnePage();
    // Busy cleared, then WM_CAPTUREDONE sent: the capture's last two steps.
    void EndCapture();
    // The frame is dropped on the streaming thread: the flags cleared and the frame told without waiting.
    void AbandonCapture();
    void StartDialog(const std::function<void()>& dialog, const char* name);
    // Runs the dialog's procedure on the calling thread.
    void ShowHere(const std::function<void()>& dialog, const char* name);

    const CVellumoSettings& settings_;
    CaptureFlags flags_;
    int capture_width_ = 0;
    int capture_height_ = 0;
    ViewRect selection_;
    ViewRect video_;
    // The size of the frame being worked on (written on the streaming thread before the worker starts).
    int frame_width_ = 0;
    int frame_height_ = 0;

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
