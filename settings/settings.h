#pragma once
// The application settings record and the settings file "Vellumo.ini" (sections "VELLUMO", "OCR", "BCR").
// The record is filled once at start-up (LoadSettings), changed in memory while the program runs, compared
// with the file at close (SettingsChanged) and written back only when the user agrees (SaveSettings).
// Plain C++ with no library below it: the file is reached through a CSettingsStore.

#include <atomic>
#include <cstdint>
#include <string>

#include "settings/settings_store.h"

// Image file format ("FORMAT"): 0 BMP, 1 JPEG, 2 PDF gathered, 3 TIFF, 4 PDF one per picture. Program-wide
// because the capture pipeline and the status text read it directly; the capture worker reads it on its own
// thread.
extern std::atomic<int> g_nImageFormat;

// Text fields hold at most this many bytes, like the 260-byte buffers of the file format.
constexpr size_t kSettingsTextMax = 259;

// Prints into a 260-byte buffer, always terminated; the result of vsnprintf.
int FormatInt(char* buffer, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The number a profile value stands for, read like atoi (leading blanks, sign, digits up to the first
// other character) but saturated at the int range instead of overflowing.
int ProfileNumber(const std::string& text);

class CVellumoSettings {
  public:
    CVellumoSettings() = default;
    CVellumoSettings(const CVellumoSettings&) = delete;
    CVellumoSettings& operator=(const CVellumoSettings&) = delete;

    // Reads every key from the store; never fails (a missing file gives empty texts and zeros, Threshold
    // 128).
    void LoadSettings(const CSettingsStore& store);
    // True at the first saved key whose stored value differs from the record.
    bool SettingsChanged(const CSettingsStore& store) const;
    // Writes every saved key; write failures are silent (the old file stays as it was).
    void SaveSettings(CSettingsStore& store) const;

    std::string m_szIniPath;  // the settings file the program's store is opened over

    // Section "VELLUMO"
    std::string m_szHelpPath;     // "Help": file name; start-up prefixes the program folder
    std::string m_szPidVid;       // "PIDVID": identity text of the camera
    std::string m_szSavePath;     // "SAVEPATH": output folder, with a trailing '/'
    std::string m_szPrefix;       // "PREFIX": file-name prefix
    std::string m_szSize;         // "SIZE"
    std::string m_szPreviewSize;  // "PREVIEWSIZE": comma-separated resolution indices for the ribbon menu
    int m_nSetSize = 0;           // "SETSIZE": still-capture resolution index
    int m_nSetPreviewSize = 0;    // "SETPREVIEWSIZE": preview resolution index
    int m_nBrightness = 0;
    int m_nContrast = 0;
    int m_nFrequency = 0;
    uint8_t m_bPdfOption = 0;  // FORMAT = 2
    uint8_t m_bAutoDeskew = 0;
    int m_nRotation = 0;  // turn before OCR, 0..3
    uint8_t m_bContinuousCapture = 0;
    uint8_t m_bContinuousFile = 0;
    int m_nRotationFile = 0;  // turn of saved pictures, 0..3
    uint8_t m_bStreamA = 1;   // video stream, always on
    uint8_t m_bStreamB = 1;   // sound recorded with the video
    int m_nVideoFormat = 0;   // 0 Windows Media, other AVI
    uint8_t m_bDirectionSwitch = 0;
    uint8_t m_bAutoFocus = 0;
    int m_nFocus = 0;
    int m_nExposureCard = 0;
    int m_nExposurePhoto = 0;
    int m_nExposureManual = 0;
    int m_nExposureIndex = 0;
    int m_nOutputMode = 0;   // "OutputMode Index"
    int m_nScaleMode = 0;    // "ScaleMode Index"
    int m_nCardProgram = 0;  // "Zorvex Index"
    int m_nDelayTime = 0;
    int m_nThreshold = 0;

    // Section "OCR"
    int m_nOcrFormat = 0;                // 0 RTF Word, 1 RTF WordPad, 2 XLS, 3 PDF, 4 TXT
    uint8_t m_bOcrOnePerFormat[5] = {};  // "All pages to one": RTF Word, RTF PAD, PDF, XLS, TXT (this order)
    int m_nOcrLanguage = 0;              // "FineReaderLanguage"

    // Section "BCR"
    int m_nCardLanguage = 0;        // "ZorvexLanguage"
    int m_nCard6Language = 0;       // "Zorvex6Language"
    uint8_t m_bCardContinuous = 0;  // "Continuous"

    // Run-time fields, never in the file. Flags shared with worker threads are atomic bytes.
    std::atomic<uint8_t> m_bDevicePresent{0};
    std::atomic<uint8_t> m_bCaptureBusy{0};
    std::atomic<uint8_t> m_bContinuousRunning{0};
    std::atomic<uint8_t> m_bNotRecording{1};
    uint8_t m_bNoCameraWarned = 0;
    int m_nOcrEngineCount = 0;
    uint8_t m_bOcrEngineFound = 0;
    uint8_t m_bCardExplorerFound = 0;
    uint8_t m_bCardProgramFound = 0;
    uint8_t m_bAutoCrop = 0;
    int m_nOcrEngineIndex = 0;

    // Derived at start-up from SETSIZE and SETPREVIEWSIZE; 0 for an unknown index.
    int m_nCaptureWidth = 0;
    int m_nCaptureHeight = 0;
    int m_nPreviewWidth = 0;
    int m_nPreviewHeight = 0;
};

// Width and height of a resolution index (0 = 640x480, 1 = 2048x1536, 2 = 2592x1944); false otherwise,
// leaving the outputs untouched.
bool ResolutionSize(int index, int& width, int& height);
