#pragma once
// Output names of the preview view: the temporary capture file, the next free numbered output file
// (save folder + prefix + zero-padded number + extension), the per-card temporary files and the
// date-time names of the OCR hand-over. No Qt; the view owns one CFileNaming for its lifetime.
//
// Threads: the picture and OCR names are made on the streaming or worker thread, the video name on
// the GUI thread; the capture pipeline lets only one of them run at a time, so there is no lock here.

#include <optional>
#include <string>

namespace pipeline {

// The settings the names are made from (filled by the view from the application settings).
struct NamingSettings {
    std::string save_path;  // SAVEPATH, used as stored: it carries its trailing '/'
    std::string prefix;     // PREFIX, may be empty
    int image_format = 0;   // FORMAT: 0 BMP, 1 JPEG, 2 PDF gathered, 3 TIFF, 4 PDF one per picture
    int ocr_format = 0;     // "Format" of section "OCR": 0 RTF Word, 1 RTF WordPad, 2 XLS, 3 PDF, 4 TXT
    int video_format = 0;   // VIDEO FORMAT: 0 WMV, anything else AVI
};

constexpr const char* kTempCaptureName = "Kvo~Vellumo.bmp";

// Extensions with their dot; nothing for an index outside 0 to 4.
std::optional<std::string> ImageExtension(int image_format);
std::optional<std::string> OcrExtension(int ocr_format);
std::string VideoExtension(int video_format);

// Creates every missing folder along `path` ('/'-separated), from the left; failures are ignored
// (the later write of the output file reports them).
void CreateFolderPath(const std::string& path);

class CFileNaming {
  public:
    // Each returns 1, or 0 when the save folder is full (every 9-digit number taken): the output
    // file is then empty, so the save that follows fails instead of overwriting anything.

    // Temporary capture file, then (picture format 0 to 4 only) the save folder and the next picture name.
    int MakeImageFileNames(const NamingSettings& settings);
    // The same without the format check (business-card captures).
    int MakeCardFileNames(const NamingSettings& settings);
    // Temporary capture file, then (OCR format 0 to 4 only) the save folder and the next OCR document name.
    int MakeOcrFileNames(const NamingSettings& settings);
    // The save folder and the next video name.
    int MakeVideoFileName(const NamingSettings& settings);

    // Lowest free number for `extension` (with its dot) in `folder` (with its trailing '/'); sets the
    // output file and may widen the number for this and every later name.
    int FindFreeNumberedName(const std::string& folder, const std::string& prefix,
                             const std::string& extension);

    // Temporary file of card `card` (from 1) of a capture the card detector split: the temporary
    // capture file's folder and base name, the card number in four digits, its extension.
    std::string CardFileName(int card) const;

    int m_nNumberWidth = 4;
    std::string m_szTempFile;    // private temporary folder + "Kvo~Vellumo.bmp"
    std::string m_szOutputFile;  // next output file

  private:
    void MakeTempFileName();
    int MakeNumberedName(const NamingSettings& settings, const std::string& extension);
    int MakeTempAndNumberedNames(const NamingSettings& settings, const std::optional<std::string>& extension);
};

// Date-time names of the OCR hand-over: UTC, fields printed without padding or separators.
struct UtcTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};
UtcTime CurrentUtcTime();
// "%d%d%d_%d%d%d%d": year, month, day, "_", hour, minute, second, milliseconds.
std::string DateTimeName(const UtcTime& time);
// Private temporary folder + date-time name + ".tif": the multi-page TIFF handed to the OCR engine.
std::string OcrTiffFileName(const UtcTime& time);
// Private temporary folder + date-time name + the OCR extension: the engine's output before it is copied.
std::string OcrResultFileName(const UtcTime& time, const std::string& extension);

}  // namespace pipeline
