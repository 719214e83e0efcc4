#include "settings/settings.h"

#include <cctype>
#include <climits>
#include <cstdarg>
#include <cstdio>

std::atomic<int> g_nImageFormat{0};

namespace {

constexpr const char* kMain = "VELLUMO";
constexpr const char* kOcr = "OCR";
constexpr const char* kCard = "BCR";
constexpr size_t kBufferSize = kSettingsTextMax + 1;

// The five "All pages to one" keys in record order.
constexpr const char* kOnePerFormatKeys[5] = {"RTF Word All pages to one", "RTF PAD All pages to one",
                                              "PDF All pages to one", "XLS All pages to one",
                                              "TXT All pages to one"};

std::string Read(const CSettingsStore& store, const char* section, const char* key,
                 const char* fallback = "") {
    return store.Read(section, key, fallback, kBufferSize);
}

int ReadNumber(const CSettingsStore& store, const char* section, const char* key) {
    return ProfileNumber(Read(store, section, key));
}

uint8_t ReadFlag(const CSettingsStore& store, const char* section, const char* key) {
    return ReadNumber(store, section, key) == 1 ? 1 : 0;
}

std::string Bounded(const std::string& text) { return text.substr(0, kSettingsTextMax); }

void WriteNumber(CSettingsStore& store, const char* section, const char* key, int value) {
    char buffer[kBufferSize];
    FormatInt(buffer, "%d", value);
    store.Write(section, key, buffer);
}

}  // namespace

int FormatInt(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int result = std::vsnprintf(buffer, kBufferSize, format, args);
    va_end(args);
    return result;
}

int ProfileNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

bool ResolutionSize(int index, int& width, int& height) {
    static constexpr int kSizes[3][2] = {{640, 480}, {2048, 1536}, {2592, 1944}};
    if (index < 0 || index > 2) return false;
    width = kSizes[index][0];
    height = kSizes[index][1];
    return true;
}

void CVellumoSettings::LoadSettings(const CSettingsStore& ini) {
    m_szHelpPath += Read(ini, kMain, "Help");
    m_szHelpPath = Bounded(m_szHelpPath);
    m_szPidVid = Read(ini, kMain, "PIDVID");
    m_szSavePath = Read(ini, kMain, "SAVEPATH");
    m_szPrefix = Read(ini, kMain, "PREFIX");
    m_szSize = Read(ini, kMain, "SIZE");
    m_szPreviewSize = Read(ini, kMain, "PREVIEWSIZE");
    m_nSetSize = ReadNumber(ini, kMain, "SETSIZE");
    m_nSetPreviewSize = ReadNumber(ini, kMain, "SETPREVIEWSIZE");
    m_nBrightness = ReadNumber(ini, kMain, "Brightness");
    m_nContrast = ReadNumber(ini, kMain, "Contrast");
    m_nFrequency = ReadNumber(ini, kMain, "Frequency");
    g_nImageFormat = ReadNumber(ini, kMain, "FORMAT");
    m_bPdfOption = g_nImageFormat == 2 ? 1 : 0;
    m_bAutoDeskew = ReadFlag(ini, kMain, "AUTO DESKEW");
    m_nRotation = ReadNumber(ini, kMain, "ROTATION");
    m_bContinuousCapture = ReadFlag(ini, kMain, "CONTINUOUS CAPTURE");
    m_bContinuousFile = ReadFlag(ini, kMain, "CONTINUOUS FILE");
    m_nRotationFile = ReadNumber(ini, kMain, "ROTATION FILE");
    m_bStreamA = 1;
    m_bStreamB = ReadNumber(ini, kMain, "VIDEO STREAM") == 1 ? 0 : 1;
    m_nVideoFormat = ReadNumber(ini, kMain, "VIDEO FORMAT");
    m_bDirectionSwitch = ReadFlag(ini, kMain, "Direction Switch");
    m_bAutoFocus = ReadFlag(ini, kMain, "Auto Focus");
    m_bAutoFocus = 1;  // the program always starts with automatic focus
    m_nFocus = ReadNumber(ini, kMain, "Focus");
    m_nExposureCard = ReadNumber(ini, kMain, "Exposure Card");
    m_nExposurePhoto = ReadNumber(ini, kMain, "Exposure Photo");
    m_nExposureManual = ReadNumber(ini, kMain, "Exposure Manual");
    m_nExposureIndex = ReadNumber(ini, kMain, "Exposure Index");
    m_nOutputMode = ReadNumber(ini, kMain, "OutputMode Index");
    m_nScaleMode = ReadNumber(ini, kMain, "ScaleMode Index");
    m_nCardProgram = ReadNumber(ini, kMain, "Zorvex Index");
    m_nDelayTime = ReadNumber(ini, kMain, "DelayTime");
    m_nThreshold = ProfileNumber(Read(ini, kMain, "Threshold", "128"));

    m_nOcrFormat = ReadNumber(ini, kOcr, "Format");
    for (int i = 0; i < 5; ++i) m_bOcrOnePerFormat[i] = ReadFlag(ini, kOcr, kOnePerFormatKeys[i]);
    m_nOcrLanguage = ReadNumber(ini, kOcr, "FineReaderLanguage");

    m_nCardLanguage = ReadNumber(ini, kCard, "ZorvexLanguage");
    m_nCard6Language = ReadNumber(ini, kCard, "Zorvex6Language");
    m_bCardContinuous = ReadFlag(ini, kCard, "Continuous");
}

bool CVellumoSettings::SettingsChanged(const CSettingsStore& ini) const {
    auto text_differs = [&](const char* section, const char* key, const std::string& field) {
        return Read(ini, section, key) != Bounded(field);
    };
    auto number_differs = [&](const char* section, const char* key, int field) {
        return ReadNumber(ini, section, key) != field;
    };
    auto flag_differs = [&](const char* section, const char* key, uint8_t field) {
        return ReadFlag(ini, section, key) != (field != 0 ? 1 : 0);
    };

    if (text_differs(kMain, "SAVEPATH", m_szSavePath)) return true;
    if (text_differs(kMain, "PREFIX", m_szPrefix)) return true;
    if (text_differs(kMain, "SIZE", m_szSize)) return true;
    if (text_differs(kMain, "PREVIEWSIZE", m_szPreviewSize)) return true;
    if (number_differs(kMain, "SETPREVIEWSIZE", m_nSetPreviewSize)) return true;
    if (number_differs(kMain, "SETSIZE", m_nSetSize)) return true;
    if (number_differs(kMain, "Brightness", m_nBrightness)) return true;
    if (number_differs(kMain, "Contrast", m_nContrast)) return true;
    if (number_differs(kMain, "Frequency", m_nFrequency)) return true;
    if (number_differs(kMain, "FORMAT", g_nImageFormat)) return true;
    if (flag_differs(kMain, "AUTO DESKEW", m_bAutoDeskew)) return true;
    if (number_differs(kMain, "ROTATION", m_nRotation)) return true;
    if (flag_differs(kMain, "CONTINUOUS CAPTURE", m_bContinuousCapture)) return true;
    if (number_differs(kMain, "ROTATION FILE", m_nRotationFile)) return true;
    if (flag_differs(kMain, "CONTINUOUS FILE", m_bContinuousFile)) return true;
    // Stored 1 means video only, that is no sound stream.
    if ((ReadNumber(ini, kMain, "VIDEO STREAM") == 1) == (m_bStreamB != 0)) return true;
    if (number_differs(kMain, "VIDEO FORMAT", m_nVideoFormat)) return true;
    if (flag_differs(kMain, "Direction Switch", m_bDirectionSwitch)) return true;
    if (flag_differs(kMain, "Auto Focus", m_bAutoFocus)) return true;
    if (number_differs(kMain, "Focus", m_nFocus)) return true;
    if (number_differs(kMain, "Exposure Index", m_nExposureIndex)) return true;
    if (number_differs(kMain, "OutputMode Index", m_nOutputMode)) return true;
    if (number_differs(kMain, "ScaleMode Index", m_nScaleMode)) return true;
    if (number_differs(kMain, "Exposure Manual", m_nExposureManual)) return true;
    if (number_differs(kMain, "Zorvex Index", m_nCardProgram)) return true;
    if (number_differs(kOcr, "Format", m_nOcrFormat)) return true;
    for (int i = 0; i < 5; ++i)
        if (flag_differs(kOcr, kOnePerFormatKeys[i], m_bOcrOnePerFormat[i] == 1 ? 1 : 0)) return true;
    if (number_differs(kOcr, "FineReaderLanguage", m_nOcrLanguage)) return true;
    if (number_differs(kCard, "ZorvexLanguage", m_nCardLanguage)) return true;
    if (number_differs(kCard, "Zorvex6Language", m_nCard6Language)) return true;
    if (flag_differs(kCard, "Continuous", m_bCardContinuous)) return true;
    return false;
}

void CVellumoSettings::SaveSettings(CSettingsStore& ini) const {
    auto flag = [](uint8_t field) { return field != 0 ? 1 : 0; };
    ini.Write(kMain, "SAVEPATH", Bounded(m_szSavePath));
    ini.Write(kMain, "PREFIX", Bounded(m_szPrefix));
    WriteNumber(ini, kMain, "SETSIZE", m_nSetSize);
    WriteNumber(ini, kMain, "SETPREVIEWSIZE", m_nSetPreviewSize);
    WriteNumber(ini, kMain, "Brightness", m_nBrightness);
    WriteNumber(ini, kMain, "Contrast", m_nContrast);
    WriteNumber(ini, kMain, "Frequency", m_nFrequency);
    WriteNumber(ini, kMain, "FORMAT", g_nImageFormat);
    WriteNumber(ini, kMain, "AUTO DESKEW", flag(m_bAutoDeskew));
    WriteNumber(ini, kMain, "ROTATION", m_nRotation);
    WriteNumber(ini, kMain, "CONTINUOUS CAPTURE", flag(m_bContinuousCapture));
    WriteNumber(ini, kMain, "ROTATION FILE", m_nRotationFile);
    WriteNumber(ini, kMain, "CONTINUOUS FILE", flag(m_bContinuousFile));
    WriteNumber(ini, kMain, "VIDEO STREAM", (m_bStreamA == 1 && m_bStreamB == 0) ? 1 : 0);
    WriteNumber(ini, kMain, "VIDEO FORMAT", m_nVideoFormat);
    WriteNumber(ini, kMain, "Direction Switch", flag(m_bDirectionSwitch));
    WriteNumber(ini, kMain, "Auto Focus", flag(m_bAutoFocus));
    WriteNumber(ini, kMain, "Focus", m_nFocus);
    WriteNumber(ini, kMain, "Exposure Index", m_nExposureIndex);
    WriteNumber(ini, kMain, "OutputMode Index", m_nOutputMode);
    WriteNumber(ini, kMain, "ScaleMode Index", m_nScaleMode);
    WriteNumber(ini, kMain, "Exposure Manual", m_nExposureManual);
    WriteNumber(ini, kMain, "Zorvex Index", m_nCardProgram);
    WriteNumber(ini, kOcr, "Format", m_nOcrFormat);
    for (int i = 0; i < 5; ++i)
        WriteNumber(ini, kOcr, kOnePerFormatKeys[i], m_bOcrOnePerFormat[i] == 1 ? 1 : 0);
    WriteNumber(ini, kOcr, "FineReaderLanguage", m_nOcrLanguage);
    WriteNumber(ini, kCard, "ZorvexLanguage", m_nCardLanguage);
    WriteNumber(ini, kCard, "Zorvex6Language", m_nCard6Language);
    WriteNumber(ini, kCard, "Continuous", flag(m_bCardContinuous));
}
