#include "outside/zorvex/vcard.h"

#include <cstdint>
#include <string>

#include "outside/zorvex/card_text.h"

namespace outside {

using card_rules::CharacterBytes;

std::string ValidUtf8(const std::string& text) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    const auto byte = [&](size_t k) { return static_cast<uint32_t>(static_cast<unsigned char>(text[k])); };
    for (size_t i = 0; i < text.size();) {
        const uint32_t lead = byte(i);
        const size_t length = lead < 0x80           ? 1
                              : (lead >> 5) == 0x6  ? 2
                              : (lead >> 4) == 0xE  ? 3
                              : (lead >> 3) == 0x1E ? 4
                                                    : 0;
        bool valid = length > 0 && i + length <= text.size();
        uint32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        for (size_t k = 1; valid && k < length; ++k) {
            valid = (byte(i + k) & 0xC0) == 0x80;
            code = (code << 6) | (byte(i + k) & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end are not characters either.
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (valid && (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)))
            valid = false;
        if (valid) {
            out.append(text, i, length);
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

namespace {

std::string Escape(const std::string& value) {
    std::string out;
    for (char c : ValidUtf8(value)) {
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Folds a content line at 75 bytes (74 after the leading blank of a continuation) between characters.
std::string Fold(const std::string& line) {
    std::string out;
    size_t line_bytes = 0, limit = 75;
    for (size_t at = 0; at < line.size();) {
        const size_t bytes = CharacterBytes(line, at);
        if (line_bytes > 0 && line_bytes + bytes > limit) {
            out += "\r\n ";
            line_bytes = 0;
            limit = 74;
        }
        out.append(line, at, bytes);
        line_bytes += bytes;
        at += bytes;
    }
    return out + "\r\n";
}

}  // namespace

std::string VCard(const CardFields& card) {
    std::string v = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    const std::string name = !card.full_name.empty()      ? card.full_name
                             : !card.organisation.empty() ? card.organisation
                             : !card.emails.empty()       ? card.emails.front()
                                                          : "Unknown";
    v += Fold("FN:" + Escape(name));
    v += Fold("N:" + Escape(card.family_name) + ";" + Escape(card.given_name) + ";;" +
              Escape(card.name_prefix) + ";");
    if (!card.organisation.empty()) v += Fold("ORG:" + Escape(card.organisation));
    if (!card.title.empty()) v += Fold("TITLE:" + Escape(card.title));
    for (const Telephone& tel : card.telephones) v += Fold("TEL;TYPE=" + tel.type + ":" + Escape(tel.number));
    for (const std::string& email : card.emails) v += Fold("EMAIL;TYPE=INTERNET:" + Escape(email));
    if (!card.web.empty()) v += Fold("URL:" + Escape(card.web));
    if (!card.address_lines.empty()) {
        // The parts where the rules could tell them, else every line in the street part.
        std::string street = card.address.street;
        if (card.address.postal_code.empty() && card.address.locality.empty() && card.address.region.empty())
            for (const std::string& line : card.address_lines) street += (street.empty() ? "" : "\n") + line;
        v += Fold("ADR;TYPE=WORK:;;" + Escape(street) + ";" + Escape(card.address.locality) + ";" +
                  Escape(card.address.region) + ";" + Escape(card.address.postal_code) + ";");
    }
    if (!card.note.empty()) v += Fold("NOTE:" + Escape(card.note));
    v += "END:VCARD\r\n";
    return v;
}

}  // namespace outside
