// The capture worker: detection, turn, colour, then the picture saved by its format or handed on; and
// the one-page hand-over thread.
#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "outside/bmp2tiff/bmp2tiff.h"
#include "outside/jpeglib/bmp2jpeg.h"
#include "pipeline/bmp/bmp_ops.h"
#include "pipeline/capture/capture_session.h"
#include "pipeline/capture/detection.h"
#include "pipeline/capture/pdf_output.h"
#include "pipeline/naming/file_naming.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace pipeline {
namespace {

void TurnPicture(const std::string& path, Turn turn) {
    int done = 1;
    switch (turn) {
        case Turn::None:
            return;
        case Turn::QuarterClockwise:
            done = RotateBmpQuarter(path, 0);
            break;
        case Turn::QuarterCounterClockwise:
            done = RotateBmpQuarter(path, 1);
            break;
        case Turn::Half:
            done = RotateBmpHalf(path);
            break;
    }
    if (done == 0) platform::DebugLog("capture", "cannot turn %s; it is kept as it is", path.c_str());
}

void ConvertColours(const std::string& path, const CaptureRequest& r) {
    int done = 1;
    if (r.output_mode == 0)
        done = ConvertBmpToBlackWhite(path, static_cast<uint16_t>(std::clamp(r.threshold, 0, 0xFFFF)));
    else if (r.output_mode == 1)
        done = ConvertBmpToGray(path);
    if (done == 0) platform::DebugLog("capture", "cannot convert the colours of %s", path.c_str());
}

// How long each step of a capture took, from the frame taken on, for one line of the debug log (the
// hands-free bench reads it).
class StepTimes {
  public:
    explicit StepTimes(std::chrono::steady_clock::time_point start) : start_(start), last_(start) {}
    void Done(const char* step) {
        const auto now = std::chrono::steady_clock::now();
        text_ += (text_.empty() ? "" : ", ") + std::string(step) + " " + std::to_string(Ms(now - last_));
        last_ = now;
    }
    void Log(const char* outcome) const {
        platform::DebugLog("capture", "%s %lld ms after the frame was taken (ms: %s)", outcome,
                           static_cast<long long>(Ms(last_ - start_)), text_.c_str());
    }

  private:
    static long long Ms(std::chrono::steady_clock::duration d) {
        return std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    }
    std::chrono::steady_clock::time_point start_, last_;
    std::string text_;
};

}  // namespace

int CaptureSession::CaptureWorker(const Request& request, OwnedFrame& frame) {
    const CaptureRequest& r = *request;
    const bool ocr = flags_.ocr_capture.load() != 0;
    const bool card = flags_.card_capture.load() != 0;
    StepTimes steps(frame.taken);
    steps.Done("to the worker");

    // Names first: the card and OCR captures name their output by their own rules.
    if (!ocr)
        m_naming.MakeImageFileNames(r.naming);
    else if (card)
        m_naming.MakeCardFileNames(r.naming);
    else
        m_naming.MakeOcrFileNames(r.naming);
    const std::string temp = m_naming.m_szTempFile;

    if (r.capture_width != 0 && (frame.width != r.capture_width || frame.height != r.capture_height))
        platform::DebugLog("capture", "the frame is %dx%d, the capture asked for %dx%d", frame.width,
                           frame.height, r.capture_width, r.capture_height);
    // The frame's own size is what the file gets; pages are shaped by it too.
    const std::optional<FrameArea> area = ScaleCaptureArea(r.selection, r.video, frame.width, frame.height);
    // A page the live outline found on this very frame is cut along that outline; the page is not searched
    // for again. A capture area and cards take their own ways, as manual captures do.
    bool cut = false;
    if (frame.kept && frame.outline && r.auto_deskew && !card && !area) {
        const OutlinedPage page =
            CutOutlinedPage(temp, *frame.kept, *frame.outline, PixelsPerMetre(frame.width));
        if (page.cut && !page.written) {
            AbandonCapture();
            if (m_reportUnwritten) m_reportUnwritten(page.written.error);
            return 0;
        }
        cut = page.cut;
        if (cut) steps.Done("page cut along the outline");
    }
    if (!cut) {
        if (frame.kept && frame.bytes.empty())
            frame.bytes =
                BottomUpBgr24FromBgrx(frame.kept->pixels.data(), static_cast<size_t>(frame.kept->stride),
                                      frame.width, frame.height);
        std::optional<PageShape> shape;
        if (!area && !r.auto_deskew && r.scale_mode != 0) shape = PageShapeFor(frame.width);
        const CaptureFrame view{frame.bytes.data(), frame.bytes.size(), frame.width, frame.height};
        if (const platform::FileResult written =
                WriteCaptureFile(temp, view, area, shape, PixelsPerMetre(frame.width));
            !written) {
            AbandonCapture();
            if (m_reportUnwritten) m_reportUnwritten(written.error);
            return 0;
        }
        steps.Done("capture file");
    }

    if (r.auto_deskew) {
        if (card) {
            DetectCards(temp);
        } else if ((cut ? PlaceOnPage(temp, r.scale_mode, frame.width)
                        : DetectDocument(temp, r.scale_mode, frame.width)) == DetectOutcome::Unreadable) {
            // Nothing left to save or hand on: the capture ends as if it had been dropped.
            flags_.ocr_capture.store(0);
            flags_.card_capture.store(0);
            EndCapture();
            return 0;
        }
        steps.Done("detection");
    }
    TurnPicture(temp, ChooseTurn(ocr, r.rotation, r.rotation_file));
    steps.Done("turn");

    // The card list is read (and removed) only after the turn.
    const int pages = r.auto_deskew && card ? CountCardList(temp) : 1;
    FollowUp follow_up;
    bool kept = true;  // handed on counts as kept: a failed hand-over keeps its pictures itself
    if (pages >= 2) {
        follow_up = HandOverCards(request, pages, card);
    } else {
        if (!ocr) ConvertColours(temp, r);
        steps.Done("colours");
        follow_up = ocr ? HandOverOnePage(request) : SavePicture(request, kept);
    }
    steps.Done("saved or handed on");
    steps.Log(kept ? "capture written" : "capture not kept");
    if (kept) pages_kept_.fetch_add(1);
    EndCapture();
    if (follow_up) follow_up();
    return 1;
}

CaptureSession::FollowUp CaptureSession::SavePicture(const Request& request, bool& kept_picture) {
    const CaptureRequest& r = *request;
    kept_picture = true;
    const std::string temp = m_naming.m_szTempFile;
    const std::string output = m_naming.m_szOutputFile;
    const SaveAction action = SaveActionFor(r.naming.image_format, r.pdf_gathered);
    // A number another program (or another copy) took meanwhile: the next free one.
    const auto next_name = [this, request] {
        return m_naming.MakeImageFileNames(request->naming) != 0 ? m_naming.m_szOutputFile : std::string();
    };
    std::optional<std::string> saved;
    std::string kept;
    switch (action) {
        case SaveAction::CopyBmp:
            saved = PublishUnderFreeName(
                output,
                [&](const std::string& path) {
                    auto contents = platform::ReadFile(temp);
                    return contents && platform::WriteFileReplacing(path, *contents);
                },
                next_name);
            break;
        case SaveAction::Jpeg:
            saved = PublishUnderFreeName(
                output, [&](const std::string& path) { return BMP2JPEG(temp.c_str(), path.c_str()) == 1; },
                next_name);
            break;
        case SaveAction::Tiff:
            saved = PublishUnderFreeName(
                output,
                [&](const std::string& path) { return ConvertMutil(temp.c_str(), path.c_str(), 1, 80) == 1; },
                next_name);
            break;
        case SaveAction::GatherPdf: {
            // Under a name of its own: the next page's capture writes the temporary file again.
            m_pages.AddPageFile(KeepPageFile(temp));
            std::lock_guard lock(request_mutex_);
            series_ = request;
            return [this] { StartDialog(m_dialogs.transform, "CTransform"); };
        }
        case SaveAction::OnePdf:
            kept = KeepPageFile(temp);
            m_pages.AddPageFile(kept);
            saved = PublishUnderFreeName(
                output,
                [&](const std::string& path) {
                    return MakePdf(m_pages.Count(), JoinPagesForPdf(m_pages), path, {});
                },
                next_name);
            if (saved) m_pages.DeletePageFiles();  // else the page stays listed for another try
            break;
        case SaveAction::Nothing:
            platform::DebugLog("capture", "no picture format %d; the capture is kept as %s",
                               r.naming.image_format, temp.c_str());
            kept_picture = false;
            return {};
    }
    kept_picture = saved.has_value();
    if (saved && action != SaveAction::OnePdf) platform::DeleteFile(temp);
    if (!saved) {
        // Nothing the user captured goes before its output exists.
        if (action != SaveAction::OnePdf) kept = KeepPageFile(temp);
        platform::DebugLog("capture", "%s was not written; the picture stays as %s", output.c_str(),
                           kept.c_str());
    }
    const bool continuous = r.continuous_file;
    if (saved && !continuous) return {};
    return [this, ok = saved.has_value(), continuous, output, kept] {
        if (!ok && m_reportUnsaved) m_reportUnsaved(output, kept);
        if (continuous) StartDialog(m_dialogs.continue_capture, "CContinueCapture");
    };
}

std::vector<std::string> CaptureSession::SettleHandOver(const CaptureRequest& request,
                                                        const HandOverResult& result,
                                                        const std::vector<std::string>& pictures) {
    std::vector<std::string> kept;
    switch (result.kind) {
        case HandOverResult::Kind::Done:
            for (const std::string& picture : pictures) platform::DeleteFile(picture);
            break;
        case HandOverResult::Kind::TakenOver:
            break;  // the program removes them once it has ended
        case HandOverResult::Kind::Failed:
            for (const std::string& picture : pictures)
                kept.push_back(KeepInSaveFolder(request.naming, picture));
            platform::DebugLog("capture", "the hand-over failed (%s); %zu picture(s) kept",
                               result.problem.c_str(), kept.size());
            break;
    }
    return kept;
}

void CaptureSession::ReportKept(const std::string& problem, const std::vector<std::string>& kept) {
    if (!kept.empty() && m_reportHandOver) m_reportHandOver(problem, kept);
}

CaptureSession::FollowUp CaptureSession::HandOverCards(const Request& request, int cards, bool card_capture) {
    const CaptureRequest& r = *request;
    const std::string temp = m_naming.m_szTempFile;
    const int target = r.hand_over_target;
    // The flags describe the capture in progress: cleared before its pictures go anywhere, so the next
    // capture starts from what its own command sets.
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    std::vector<std::string> files;
    for (int i = 1; i <= cards; ++i) files.push_back(m_naming.CardFileName(i));

    if ((r.OcrSeries() && target == 0) || (card_capture && r.card_continuous && target == 1)) {
        for (const std::string& file : files) m_pages.AddPageFile(KeepPageFile(file));
        {
            std::lock_guard lock(request_mutex_);
            series_ = request;
        }
        if (card_capture)
            AppendCardSeriesPicture(temp);
        else
            platform::DeleteFile(temp);
        return [this] { StartDialog(m_dialogs.ocr_transform, "COcrTransform"); };
    }
    if (target == 1) {
        if (!m_handOver.send_to_card_program) {
            platform::DebugLog("capture", "no card program service; the %d card pictures stay", cards);
            return {};
        }
        PageFileList list;
        for (const std::string& file : files) list.AddPageFile(file);
        const HandOverResult result = m_handOver.send_to_card_program(r, list);
        std::vector<std::string> kept = SettleHandOver(r, result, files);
        platform::DeleteFile(temp);
        if (kept.empty()) return {};
        return [this, problem = result.problem, kept] { ReportKept(problem, kept); };
    }
    if (!m_handOver.run_ocr) {
        platform::DebugLog("capture", "no OCR service; the %d card pictures stay", cards);
        return {};
    }
    std::vector<std::string> kept;
    std::string problem;
    for (const std::string& file : files) {
        const HandOverResult result = m_handOver.run_ocr(r, file);
        for (std::string& k : SettleHandOver(r, result, {file})) kept.push_back(std::move(k));
        if (!result.problem.empty()) problem = result.problem;
    }
    platform::DeleteFile(temp);
    const bool continuous = r.continuous_capture;
    if (kept.empty() && !continuous) return {};
    return [this, problem, kept, continuous] {
        ReportKept(problem, kept);
        // Modal on the worker's own thread, as the dialog's capture runs where it was shown.
        if (continuous) ShowHere(m_dialogs.continue_ocr, "CContinueOcr");
    };
}

CaptureSession::FollowUp CaptureSession::HandOverOnePage(const Request& request) {
    const CaptureRequest& r = *request;
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    const bool series = r.hand_over_target == 1 ? r.card_continuous : r.OcrSeries();
    // Its own name: the hand-over outlives the capture, and the next capture writes the temporary file.
    const std::string page = KeepPageFile(m_naming.m_szTempFile);
    if (series) {
        m_pages.AddPageFile(page);
        {
            std::lock_guard lock(request_mutex_);
            series_ = request;
        }
        return [this] { StartDialog(m_dialogs.ocr_transform, "COcrTransform"); };
    }
    return [this, request, page] {
        if (!StartThread([this, request, page] { OcrHandOver(request, page); }))
            platform::DebugLog("capture", "the page %s is not handed over", page.c_str());
    };
}

void CaptureSession::OcrHandOver(const Request& request, const std::string& picture) {
    const CaptureRequest& r = *request;
    const int target = r.hand_over_target;
    std::optional<HandOverResult> result;
    if (target == 1 && m_handOver.send_to_card_program) {
        PageFileList one;
        one.AddPageFile(picture);
        result = m_handOver.send_to_card_program(r, one);
    } else if (target != 1 && m_handOver.run_ocr) {
        result = m_handOver.run_ocr(r, picture);
    }
    if (result)
        ReportKept(result->problem, SettleHandOver(r, *result, {picture}));
    else
        platform::DebugLog("capture", "no %s service; the page stays as %s",
                           target == 1 ? "card program" : "OCR", picture.c_str());
    if ((r.continuous_capture && target == 0) || (r.card_continuous && target == 1))
        ShowHere(m_dialogs.continue_ocr, "CContinueOcr");
}

}  // namespace pipeline
