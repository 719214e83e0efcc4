#include "outside/finecmd/text_documents.h"

#include <algorithm>
#include <cstdint>

namespace outside {
namespace {}  // namespace

uint32_t NextCodePoint(const std::string& text, size_t& i) {
    const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
    const uint8_t lead = byte(i);
    const int extra = lead >= 0xF8 ? 0 : lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0 || i + extra >= text.size()) {
        ++i;
        return lead;
    }
    uint32_t cp = lead & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return lead;
        }
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    i += extra + 1;
    return cp;
}

namespace {

void AppendUnicode(std::string& out, uint32_t unit) {
    out += "\\u" + std::to_string(static_cast<int16_t>(static_cast<uint16_t>(unit))) + "?";
}

}  // namespace

std::string PlainText(const std::vector<PageText>& pages) {
    std::string text;
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) text += '\f';
        for (size_t q = 0; q < pages[p].paragraphs.size(); ++q) {
            if (q > 0) text += '\n';
            for (const TextLine& line : pages[p].paragraphs[q].lines) text += LineText(line) + "\n";
        }
    }
    return text;
}

std::string RtfEscape(const std::string& utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const uint32_t cp = NextCodePoint(utf8, i);
        if (cp == '\\' || cp == '{' || cp == '}') {
            out += '\\';
            out += static_cast<char>(cp);
        } else if (cp < 0x20) {
            continue;
        } else if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x10000) {
            AppendUnicode(out, cp);
        } else {
            const uint32_t v = cp - 0x10000;
            AppendUnicode(out, 0xD800 + (v >> 10));
            AppendUnicode(out, 0xDC00 + (v & 0x3FF));
        }
    }
    return out;
}

std::string RichText(const std::vector<PageText>& pages) {
    std::string rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss Arial;}}\n\\f0\\fs22\n";
    for (size_t p = 0; p < pages.size(); ++p) {
        if (p > 0) rtf += "\\page\n";
        for (const Paragraph& paragraph : pages[p].paragraphs) {
            for (size_t l = 0; l < paragraph.lines.size(); ++l) {
                if (l > 0) rtf += "\\line\n";
                rtf += RtfEscape(LineText(paragraph.lines[l]));
            }
            rtf += "\\par\n";
        }
    }
    rtf += "}\n";
    return rtf;
}

std::vector<std::vector<std::string>> WorksheetRows(const std::vector<PageText>& pages) {
    std::vector<std::vector<std::string>> rows;
    for (const PageText& page : pages)
        for (const Paragraph& paragraph : page.paragraphs)
            for (const TextLine& line : paragraph.lines) {
                if (line.words.empty()) continue;
                int height = 0;
                for (const Word& w : line.words) height = std::max(height, w.bottom - w.top);
                std::vector<std::string> cells(1);
                for (size_t i = 0; i < line.words.size(); ++i) {
                    const Word& w = line.words[i];
                    if (i > 0) {
                        if (w.left - line.words[i - 1].right > 2 * height)
                            cells.emplace_back();
                        else
                            cells.back() += ' ';
                    }
                    cells.back() += w.text;
                }
                rows.push_back(std::move(cells));
            }
    return rows;
}

}  // namespace outside
