#include "pipeline/capture/capture_request.h"

#include "app/settings/settings.h"

namespace pipeline {

CaptureRequest MakeCaptureRequest(const CVellumoSettings& s, int image_format, int hand_over_target) {
    CaptureRequest r;
    r.naming = NamingSettings{s.m_szSavePath, s.m_szPrefix, image_format, s.m_nOcrFormat, s.m_nVideoFormat};
    r.pdf_gathered = s.m_bPdfOption != 0;
    r.auto_deskew = s.m_bAutoDeskew != 0;
    r.scale_mode = s.m_nScaleMode;
    r.rotation = s.m_nRotation;
    r.rotation_file = s.m_nRotationFile;
    r.output_mode = s.m_nOutputMode;
    r.threshold = s.m_nThreshold;
    r.continuous_file = s.m_bContinuousFile != 0;
    r.continuous_capture = s.m_bContinuousCapture != 0;
    r.ocr_gather = OcrGatherAllPages(s);
    r.card_continuous = s.m_bCardContinuous != 0;
    r.ocr_language = s.m_nOcrLanguage;
    r.card_program = s.m_nCardProgram;
    r.card_language = s.m_nCardLanguage;
    r.card6_language = s.m_nCard6Language;
    r.hand_over_target = hand_over_target;
    return r;
}

}  // namespace pipeline
