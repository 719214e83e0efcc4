#include "app/mainframe/status_text.h"

#include "settings/settings.h"

namespace {

std::string Pick(int value, std::initializer_list<const char*> tags, const char* other) {
    if (value >= 0 && value < static_cast<int>(tags.size())) return tags.begin()[value];
    return other;
}

std::string OnOff(const StringLookup& strings, unsigned label, uint8_t flag) {
    return strings(label) + ":" + strings(flag != 0 ? 169 : 170) + "  ";
}

}  // namespace

std::string BuildStatusText(const CVellumoSettings& s, int image_format, const StringLookup& strings) {
    std::string text;
    text += strings(160) + Pick(image_format, {":BMP  ", ":JPG  ", ":PDF  ", ":TIF  ", ":PDF  "}, ":  ");
    if (s.m_nOcrEngineCount > 0)
        text +=
            strings(161) +
            Pick(s.m_nOcrFormat, {":RTF(Word)  ", ":RTF(WordPad)  ", ":XLS  ", ":PDF  ", ":TXT  "}, ":   ");
    // The size the stills really have once a capture has shown it (a camera may not offer the one asked).
    std::string size = Pick(s.m_nSetSize, {":640x480  ", ":2048x1536  ", ":2592x1944  "}, ":  ");
    if (size != ":  " && s.m_nCaptureWidth > 0 && s.m_nCaptureHeight > 0)
        size = ":" + std::to_string(s.m_nCaptureWidth) + "x" + std::to_string(s.m_nCaptureHeight) + "  ";
    text += strings(162) + size;
    static constexpr unsigned kRotationNames[4] = {171, 172, 174, 173};
    if (s.m_nRotationFile >= 0 && s.m_nRotationFile <= 3)
        text += strings(163) + ":" + strings(kRotationNames[s.m_nRotationFile]) + "  ";
    else
        text += strings(163) + ":  ";
    text += OnOff(strings, 164, s.m_bAutoDeskew);
    text += OnOff(strings, 165, s.m_bContinuousFile);
    text += OnOff(strings, 166, s.m_bContinuousCapture);
    text += OnOff(strings, 167, s.m_bCardContinuous);
    return text;
}

std::string StatusPlaceholderText() {
    return "Format\xEF\xBC\x9A"
           "BMP  Size\xEF\xBC\x9A"
           "680x480  File Rotation\xEF\xBC\x9A"
           "None  Ocr Rotation\xEF\xBC\x9A"
           "None  Crop\xEF\xBC\x9A"
           "Enable  Deskew\xEF\xBC\x9A"
           "Disable  File Continuous:Enable  Ocr Continuous:Enable" +
           std::string(60, ' ');
}
