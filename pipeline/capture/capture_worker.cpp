// The capture worker: detection, turn, colour, then the picture saved by its format or handed on; and
// the one-page hand-over thread.
#include <algorithm>
#include <vector>

#include "app/settings/settings.h"
#include "outside/bmp2tiff/bmp2tiff.h"
#include "outside/jpeglib/bmp2jpeg.h"
#include "pipeline/bmp/bmp_ops.h"
#include "pipeline/capture/capture_session.h"
#include "pipeline/capture/detection.h"
#include "pipeline/capture/pdf_output.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace pipeline {
namespace {

void TurnPicture(const std::string& path, Turn turn) {
    int done = 1;
    switch (turn) {
        case Turn::None: return;
        case Turn::QuarterClockwise: done = RotateBmpQuarter(path, 0); break;
        case Turn::QuarterCounterClockwise: done = RotateBmpQuarter(path, 1); break;
        case Turn::Half: done = RotateBmpHalf(path); break;
    }
    if (done == 0) platform::DebugLog("capture", "cannot turn %s; it is kept as it is", path.c_str());
}

void ConvertColours(const std::string& path, const CVellumoSettings& s) {
    int done = 1;
    if (s.m_nOutputMode == 0)
        done = ConvertBmpToBlackWhite(path, static_cast<uint16_t>(std::clamp(s.m_nThreshold, 0, 0xFFFF)));
    else if (s.m_nOutputMode == 1)
        done = ConvertBmpToGray(path);
    if (done == 0) platform::DebugLog("capture", "cannot convert the colours of %s", path.c_str());
}

}  // namespace

int CaptureSession::CaptureWorker() {
    const CVellumoSettings& s = settings_;
    const std::string temp = m_naming.m_szTempFile;
    const bool ocr = flags_.ocr_capture.load() != 0;
    const bool card = flags_.card_capture.load() != 0;

    if (s.m_bAutoDeskew != 0) {
        if (card) {
            DetectCards(temp);
        } else if (DetectDocument(temp, s.m_nScaleMode, frame_width_) == DetectOutcome::Unreadable) {
            // Nothing left to save or hand on: the capture ends as if it had been dropped.
            flags_.ocr_capture.store(0);
            flags_.card_capture.store(0);
            EndCapture();
            return 0;
        }
    }
    TurnPicture(temp, ChooseTurn(ocr, s.m_nRotation, s.m_nRotationFile));

    // The card list is read (and removed) only after the turn.
    const int pages = s.m_bAutoDeskew != 0 && card ? CountCardList(temp) : 1;
    FollowUp follow_up;
    if (pages >= 2) {
        follow_up = HandOverCards(pages, card);
    } else {
        if (!ocr) ConvertColours(temp, s);
        follow_up = ocr ? HandOverOnePage() : SavePicture();
    }
    EndCapture();
    if (follow_up) follow_up();
    return 1;
}

CaptureSession::FollowUp CaptureSession::SavePicture() {
    const std::string temp = m_naming.m_szTempFile;
    const std::string output = m_naming.m_szOutputFile;
    const SaveAction action = SaveActionFor(g_nImageFormat.load(), settings_.m_bPdfOption != 0);
    bool saved = false;
    std::string kept;
    switch (action) {
        case SaveAction::CopyBmp: saved = platform::CopyFileNoReplace(temp, output); break;
        case SaveAction::Jpeg: saved = BMP2JPEG(temp.c_str(), output.c_str()) == 1; break;
        case SaveAction::Tiff: saved = ConvertMutil(temp.c_str(), output.c_str(), 1, 80) == 1; break;
        case SaveAction::GatherPdf:
            // Under a name of its own: the next page's capture writes the temporary file again.
            m_pages.AddPageFile(KeepPageFile(temp));
            return [this] { StartDialog(m_dialogs.transform, "CTransform"); };
        case SaveAction::OnePdf:
            kept = KeepPageFile(temp);
            m_pages.AddPageFile(kept);
            saved = MakePdf(m_pages.Count(), JoinPagesForPdf(m_pages), output, {});
            if (saved) m_pages.DeletePageFiles();  // else the page stays listed for another try
            break;
        case SaveAction::Nothing:
            platform::DebugLog("capture", "no picture format %d; the capture is kept as %s", g_nImageFormat.load(),
                               temp.c_str());
            return {};
    }
    if (saved && action != SaveAction::OnePdf) platform::DeleteFile(temp);
    if (!saved) {
        // Nothing the user captured goes before its output exists.
        if (action != SaveAction::OnePdf) kept = KeepPageFile(temp);
        platform::DebugLog("capture", "%s was not written; the picture stays as %s", output.c_str(), kept.c_str());
    }
    const bool continuous = settings_.m_bContinuousFile != 0;
    if (saved && !continuous) return {};
    return [this, saved, continuous, output, kept] {
        if (!saved && m_reportUnsaved) m_reportUnsaved(output, kept);
        if (continuous) StartDialog(m_dialogs.continue_capture, "CContinueCapture");
    };
}

CaptureSession::FollowUp CaptureSession::HandOverCards(int cards, bool card_capture) {
    const CVellumoSettings& s = settings_;
    const std::string temp = m_naming.m_szTempFile;
    const int target = m_nHandOverTarget.load();
    // The flags describe the capture in progress: cleared before its pictures go anywhere, so the next
    // capture starts from what its own command sets.
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    std::vector<std::string> files;
    for (int i = 1; i <= cards; ++i) files.push_back(m_naming.CardFileName(i));

    if ((OcrGatherAllPages(s) && s.m_bContinuousCapture != 0 && target == 0) ||
        (card_capture && s.m_bCardContinuous != 0 && target == 1)) {
        for (const std::string& file : files) m_pages.AddPageFile(KeepPageFile(file));
        if (card_capture)
            AppendCardSeriesPicture(temp);
        else
            platform::DeleteFile(temp);
        return [this] { StartDialog(m_dialogs.ocr_transform, "COcrTransform"); };
    }
    if (target == 1) {
        PageFileList list;
        for (const std::string& file : files) list.AddPageFile(file);
        if (!m_handOver.send_to_card_program) {
            platform::DebugLog("capture", "no card program service; the %d card pictures stay", cards);
            return {};
        }
        m_handOver.send_to_card_program(s, list);
        list.DeletePageFiles();
        platform::DeleteFile(temp);
        return {};
    }
    if (!m_handOver.run_ocr) {
        platform::DebugLog("capture", "no OCR service; the %d card pictures stay", cards);
        return {};
    }
    for (const std::string& file : files) {
        m_handOver.run_ocr(s, file);
        platform::DeleteFile(file);
    }
    platform::DeleteFile(temp);
    if (s.m_bContinuousCapture == 0) return {};
    // Modal on the worker's own thread, as the dialog's capture runs where it was shown.
    return [this] { ShowHere(m_dialogs.continue_ocr, "CContinueOcr"); };
}

CaptureSession::FollowUp CaptureSession::HandOverOnePage() {
    const CVellumoSettings& s = settings_;
    const int target = m_nHandOverTarget.load();
    flags_.ocr_capture.store(0);
    flags_.card_capture.store(0);
    const bool series = target == 1 ? s.m_bCardContinuous != 0
                                    : OcrGatherAllPages(s) && s.m_bContinuousCapture != 0;
    // Its own name: the hand-over outlives the capture, and the next capture writes the temporary file.
    const std::string page = KeepPageFile(m_naming.m_szTempFile);
    if (series) {
        m_pages.AddPageFile(page);
        return [this] { StartDialog(m_dialogs.ocr_transform, "COcrTransform"); };
    }
    return [this, page, target] {
        if (!StartThread([this, page, target] { OcrHandOver(page, target); }))
            platform::DebugLog("capture", "the page %s is not handed over", page.c_str());
    };
}

void CaptureSession::OcrHandOver(const std::string& picture, int target) {
    const CVellumoSettings& s = settings_;
    bool handed = false;
    if (target == 1 && m_handOver.send_to_card_program) {
        PageFileList one;
        one.AddPageFile(picture);
        m_handOver.send_to_card_program(s, one);
        handed = true;
    } else if (target != 1 && m_handOver.run_ocr) {
        m_handOver.run_ocr(s, picture);
        handed = true;
    }
    if (handed)
        platform::DeleteFile(picture);
    else
        platform::DebugLog("capture", "no %s service; the page stays as %s", target == 1 ? "card program" : "OCR",
                           picture.c_str());
    if ((s.m_bContinuousCapture != 0 && target == 0) || (s.m_bCardContinuous != 0 && target == 1))
        ShowHere(m_dialogs.continue_ocr, "CContinueOcr");
}

}  // namespace pipeline
