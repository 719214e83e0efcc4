#pragma once
// Everything one still capture reads from the settings, copied once when its command asks for the
// frame. The streaming thread, the worker and the hand-over threads read only this copy, so a setting
// changed meanwhile (a dialog, a ribbon menu) takes effect from the next capture and never halfway
// through one. Plain data; never changed after it is made.

#include <string>

#include "pipeline/capture/capture_rules.h"
#include "pipeline/naming/file_naming.h"

class CVellumoSettings;

namespace pipeline {

struct CaptureRequest {
    NamingSettings naming;            // save folder, prefix, picture, OCR and video formats
    bool pdf_gathered = false;        // "FORMAT" 2 with its gathered-PDF flag
    bool auto_deskew = false;         // "AUTO DESKEW"
    int scale_mode = 0;               // "ScaleMode Index"
    int rotation = 0;                 // "ROTATION": turn of text captures
    int rotation_file = 0;            // "ROTATION FILE": turn of pictures
    int output_mode = 0;              // "OutputMode Index"
    int threshold = 0;                // "Threshold"
    bool continuous_file = false;     // "CONTINUOUS FILE"
    bool continuous_capture = false;  // "CONTINUOUS CAPTURE"
    bool ocr_gather = false;          // the "All pages to one" key of the OCR format
    bool card_continuous = false;     // "Continuous" of section "BCR"
    int ocr_language = 0;             // "FineReaderLanguage"
    int card_program = 0;             // "Zorvex Index"
    int card_language = 0;            // "ZorvexLanguage"
    int card6_language = 0;           // "Zorvex6Language"
    int hand_over_target = 0;         // 0 the OCR engine, 1 a business-card program

    // The frame size asked for, and the view's capture area and picture rectangle.
    int capture_width = 0;
    int capture_height = 0;
    ViewRect selection;
    ViewRect video;
    // The stream was restarted at the capture size for this capture, so its first frame is still to come.
    bool stream_restarted = false;

    bool OcrSeries() const { return ocr_gather && continuous_capture; }
};

// The settings' part of a request, with the picture format ("FORMAT") and the hand-over target as
// they are now; the frame size and the areas are left for the command to fill.
CaptureRequest MakeCaptureRequest(const CVellumoSettings& settings, int image_format, int hand_over_target);

}  // namespace pipeline
