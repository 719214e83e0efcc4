#pragma once
// The command line of vellumo-capture, read into plain values. Qt-free.

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct CaptureOptions {
    std::vector<std::string> pictures;  // --from
    bool camera = false;                // --camera: one still from the camera instead
    bool virtual_camera = false;        // --virtual-camera
    std::string out_folder;             // --out
    int image_format = 1;               // "FORMAT" of --format (default JPEG)
    bool deskew = false;                // --deskew
    bool cards = false;                 // --cards
    std::optional<int> ocr_format;      // "Format" of section "OCR" for --ocr
    int ocr_language = -1;              // index of --language in the engine's table; -1: the settings' own
    bool help = false;
    bool version = false;
};

struct ParsedOptions {
    std::optional<CaptureOptions> options;
    std::string error;  // when there are no options: one line saying what is wrong
};

// `args` without the program name.
ParsedOptions ParseCaptureOptions(const std::vector<std::string>& args);

extern const char* const kCaptureUsage;

}  // namespace cli
