#include "outside/finecmd/xls_writer.h"

#include <algorithm>
#include <cstdint>

#include "outside/finecmd/text_documents.h"

namespace outside {
namespace {

constexpr size_t kSector = 512;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kFatSector = 0xFFFFFFFD;
constexpr uint32_t kNoStream = 0xFFFFFFFF;
constexpr size_t kMaxRows = 65536;
constexpr size_t kMaxColumns = 256;
constexpr size_t kMaxCellUnits = 255;

void Put16(std::string& out, uint32_t v) {
    out += static_cast<char>(v & 0xFF);
    out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}
void Set32(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

void Record(std::string& stream, uint16_t type, const std::string& data) {
    Put16(stream, type);
    Put16(stream, static_cast<uint32_t>(data.size()));
    stream += data;
}

std::u16string Utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = NextCodePoint(text, i);
        if (cp >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

// A string with an 8-bit (short) or 16-bit count, stored as UTF-16.
std::string UnicodeString(const std::u16string& text, bool short_count) {
    std::string out;
    if (short_count)
        out += static_cast<char>(text.size());
    else
        Put16(out, static_cast<uint32_t>(text.size()));
    out += static_cast<char>(0x01);
    for (char16_t unit : text) Put16(out, unit);
    return out;
}

std::string Bof(uint16_t kind) {
    std::string d;
    Put16(d, 0x0600);
    Put16(d, kind);
    Put16(d, 0x0DBB);
    Put16(d, 0x07CC);
    Put32(d, 0);
    Put32(d, 0x00000006);
    return d;
}

std::string Font() {
    std::string d;
    Put16(d, 200);              // 10 point
    Put16(d, 0);                // no attributes
    Put16(d, 0x7FFF);           // automatic colour
    Put16(d, 400);              // normal weight
    Put16(d, 0);                // no super/subscript
    d += std::string(1, '\0');  // no underline
    d += std::string(1, '\0');  // family
    d += std::string(1, '\0');  // character set
    d += std::string(1, '\0');
    d += UnicodeString(u"Arial", true);
    return d;
}

std::string Xf(bool style) {
    std::string d;
    Put16(d, 0);                                  // font 0
    Put16(d, 0);                                  // format "General"
    Put16(d, style ? 0xFFF5 : 0x0001);            // style XF without parent / locked cell XF of style 0
    d += static_cast<char>(0x20);                 // bottom aligned
    d += '\0';                                    // no rotation
    d += '\0';                                    // no indent
    d += static_cast<char>(style ? 0x00 : 0xF8);  // a cell XF says which attributes it sets itself
    Put32(d, 0);                                  // no borders
    Put32(d, 0);
    Put16(d, 0x20C0);  // default pattern colours
    return d;
}

std::string Workbook(const std::vector<std::vector<std::string>>& rows, const std::string& sheet_name) {
    std::string globals;
    Record(globals, 0x0809, Bof(0x0005));
    {
        std::string d;
        Put16(d, 1200);
        Record(globals, 0x0042, d);
    }  // code page: UTF-16
    {
        std::string d;
        for (uint32_t v : {0u, 0u, 0x4000u, 0x2000u, 0x0038u, 0u, 0u, 1u, 0x0258u}) Put16(d, v);
        Record(globals, 0x003D, d);  // WINDOW1
    }
    for (int i = 0; i < 4; ++i) Record(globals, 0x0031, Font());
    for (int i = 0; i < 15; ++i) Record(globals, 0x00E0, Xf(true));
    Record(globals, 0x00E0, Xf(false));  // XF 15: the cells
    {
        std::string d;
        Put16(d, 0x8000);
        d += '\0';
        d += static_cast<char>(0xFF);
        Record(globals, 0x0293, d);  // STYLE "Normal"
    }
    const size_t sheet_offset_at = globals.size() + 4;
    {
        std::string d;
        Put32(d, 0);  // patched below
        d += '\0';
        d += '\0';
        d += UnicodeString(Utf16(sheet_name).substr(0, 31), true);
        Record(globals, 0x0085, d);  // BOUNDSHEET
    }
    Record(globals, 0x000A, "");
    Set32(globals, sheet_offset_at, static_cast<uint32_t>(globals.size()));

    const size_t row_count = std::min(rows.size(), kMaxRows);
    size_t columns = 0;
    for (size_t r = 0; r < row_count; ++r) columns = std::max(columns, std::min(rows[r].size(), kMaxColumns));
    std::string sheet;
    Record(sheet, 0x0809, Bof(0x0010));
    {
        std::string d;
        Put32(d, 0);
        Put32(d, static_cast<uint32_t>(row_count));
        Put16(d, 0);
        Put16(d, static_cast<uint32_t>(columns));
        Put16(d, 0);
        Record(sheet, 0x0200, d);  // DIMENSIONS
    }
    for (size_t r = 0; r < row_count; ++r)
        for (size_t c = 0; c < std::min(rows[r].size(), kMaxColumns); ++c) {
            std::string d;
            Put16(d, static_cast<uint32_t>(r));
            Put16(d, static_cast<uint32_t>(c));
            Put16(d, 15);
            d += UnicodeString(Utf16(rows[r][c]).substr(0, kMaxCellUnits), false);
            Record(sheet, 0x0204, d);  // LABEL
        }
    {
        std::string d;
        for (uint32_t v : {0x06B6u, 0u, 0u, 0x40u, 0u, 0u, 0u, 0u, 0u}) Put16(d, v);
        Record(sheet, 0x023E, d);  // WINDOW2
    }
    Record(sheet, 0x000A, "");
    return globals + sheet;
}

std::string DirectoryEntry(const std::u16string& name, uint8_t type, uint32_t child, uint32_t start,
                           uint32_t size) {
    std::string e;
    for (char16_t unit : name) Put16(e, unit);
    e.resize(64, '\0');
    Put16(e, name.empty() ? 0 : static_cast<uint32_t>(2 * (name.size() + 1)));
    e += static_cast<char>(type);
    e += static_cast<char>(type == 0 ? 0 : 1);  // black
    Put32(e, kNoStream);
    Put32(e, kNoStream);
    Put32(e, child);
    e.resize(116, '\0');  // class id, state bits, times
    Put32(e, start);
    Put32(e, size);
    Put32(e, 0);
    return e;
}

}  // namespace

std::string XlsWorkbook(const std::vector<std::vector<std::string>>& rows, const std::string& sheet_name) {
    std::string stream = Workbook(rows, sheet_name);
    // Streams under 4096 bytes would belong in the mini stream; padding keeps the one stream in sectors.
    const size_t stream_size = std::max<size_t>(4096, (stream.size() + kSector - 1) / kSector * kSector);
    stream.resize(stream_size, '\0');
    const size_t stream_sectors = stream_size / kSector;
    size_t fat_sectors = 1;
    while ((stream_sectors + 1 + fat_sectors) * 4 > fat_sectors * kSector) ++fat_sectors;
    if (fat_sectors > 109) return {};  // the header holds no more FAT sector numbers
    const uint32_t directory_sector = static_cast<uint32_t>(stream_sectors);

    std::string header;
    header += std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    header.resize(24, '\0');
    Put16(header, 0x003E);
    Put16(header, 0x0003);
    Put16(header, 0xFFFE);
    Put16(header, 9);
    Put16(header, 6);
    header.resize(44, '\0');
    Put32(header, static_cast<uint32_t>(fat_sectors));
    Put32(header, directory_sector);
    Put32(header, 0);
    Put32(header, 4096);
    Put32(header, kEndOfChain);
    Put32(header, 0);
    Put32(header, kEndOfChain);
    Put32(header, 0);
    for (size_t i = 0; i < 109; ++i)
        Put32(header, i < fat_sectors ? static_cast<uint32_t>(directory_sector + 1 + i) : kFree);

    std::string directory = DirectoryEntry(u"Root Entry", 5, 1, kEndOfChain, 0) +
                            DirectoryEntry(u"Workbook", 2, kNoStream, 0, static_cast<uint32_t>(stream_size)) +
                            DirectoryEntry(u"", 0, kNoStream, 0, 0) + DirectoryEntry(u"", 0, kNoStream, 0, 0);

    std::string fat;
    for (size_t s = 0; s < stream_sectors; ++s)
        Put32(fat, s + 1 < stream_sectors ? static_cast<uint32_t>(s + 1) : kEndOfChain);
    Put32(fat, kEndOfChain);  // the directory
    for (size_t s = 0; s < fat_sectors; ++s) Put32(fat, kFatSector);
    while (fat.size() < fat_sectors * kSector) Put32(fat, kFree);

    return header + stream + directory + fat;
}

}  // namespace outside
