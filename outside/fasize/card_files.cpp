#include "outside/fasize/card_files.h"

#include <charconv>
#include <cstdint>
#include <cstdio>

namespace outside {
namespace {

// Position of the extension's dot, or npos when the file name (after the last '/') has none.
size_t ExtensionDot(const std::string& path) {
    size_t dot = path.rfind('.');
    size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::string::npos;
    return dot;
}

void AppendUnit(std::string& out, uint32_t unit) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>((unit >> 8) & 0xFF);
}

}  // namespace

std::string CardFilePath(const std::string& picture, int number) {
    size_t dot = ExtensionDot(picture);
    std::string stem = dot == std::string::npos ? picture : picture.substr(0, dot);
    std::string extension = dot == std::string::npos ? std::string() : picture.substr(dot);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", number);
    return stem + digits + extension;
}

std::string CardListPath(const std::string& picture) {
    size_t dot = ExtensionDot(picture);
    if (dot == std::string::npos) return picture + ".txt";
    return picture.substr(0, dot + 1) + "txt";
}

std::string Utf16LeFromUtf8(const std::string& text) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
        uint8_t lead = byte(i);
        size_t length = lead < 0x80           ? 1
                        : (lead >> 5) == 0x6  ? 2
                        : (lead >> 4) == 0xE  ? 3
                        : (lead >> 3) == 0x1E ? 4
                                              : 0;
        uint32_t code = 0xFFFD;
        bool valid = length > 0 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k) valid = (byte(i + k) & 0xC0) == 0x80;
        if (valid) {
            code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
            for (size_t k = 1; k < length; ++k) code = (code << 6) | (byte(i + k) & 0x3F);
            static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
            if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                code = 0xFFFD;
        }
        i += valid ? length : 1;
        if (code >= 0x10000) {
            code -= 0x10000;
            AppendUnit(out, 0xD800 + (code >> 10));
            AppendUnit(out, 0xDC00 + (code & 0x3FF));
        } else {
            AppendUnit(out, code);
        }
    }
    return out;
}

std::string CardListText(const std::vector<CardEntry>& cards) {
    std::string text = "[Cards] Count=" + std::to_string(cards.size()) + "\r\n";
    for (const CardEntry& card : cards) {
        char numbers[128];
        std::snprintf(numbers, sizeof numbers, " Left=%d Top=%d Width=%d Height=%d Angle=", card.left,
                      card.top, card.width, card.height);
        // to_chars, unlike printf, ignores the process locale's decimal comma.
        char angle[32];
        auto [end, ec] =
            std::to_chars(angle, angle + sizeof angle, card.angle_degrees, std::chars_format::fixed, 2);
        text += "No=" + std::to_string(card.number) + " File=" + card.file + numbers +
                std::string(angle, ec == std::errc() ? end : angle) + "\r\n";
    }
    return "\xFF\xFE" + Utf16LeFromUtf8(text);
}

}  // namespace outside
