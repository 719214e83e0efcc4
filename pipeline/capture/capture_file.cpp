#include "pipeline/capture/capture_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "pipeline/pagelist/page_file_list.h"
#include "platform/debuglog/debuglog.h"
#include "platform/dib/dib.h"
#include "platform/files/files.h"
#include "platform/files/private_temp.h"

namespace pipeline {
namespace {

constexpr size_t kHeadersSize = 54;

size_t Stride24(int width) { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }

std::string Headers(int width, int height, int32_t ppm) {
    std::string headers(kHeadersSize, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(headers.data());
    const size_t file_size = Stride24(width) * static_cast<size_t>(height) + kHeadersSize;
    platform::WriteBmpFileHeader(bytes, static_cast<uint32_t>(file_size), kHeadersSize);
    platform::WriteDibInfoHeader(bytes + 14, width, height, 24, 0, ppm, ppm, 0);
    return headers;
}

platform::FileResult WriteParts(const std::string& path, const std::string& headers, std::string_view rows) {
    const std::string_view parts[] = {headers, rows};
    platform::FileResult result = platform::WritePrivateFile(path, parts);
    if (!result)
        platform::DebugLog("capture", "cannot write the capture file %s: %s", path.c_str(),
                           result.error.c_str());
    return result;
}

}  // namespace

std::vector<uint8_t> BottomUpBgr24FromBgrx(const uint8_t* bgrx, size_t stride, int width, int height) {
    const size_t row_bytes = Stride24(width);
    std::vector<uint8_t> out(row_bytes * static_cast<size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = bgrx + static_cast<size_t>(y) * stride;
        uint8_t* row = out.data() + static_cast<size_t>(height - 1 - y) * row_bytes;
        for (int x = 0; x < width; ++x, in += 4, row += 3) {
            row[0] = in[0];
            row[1] = in[1];
            row[2] = in[2];
        }
    }
    return out;
}

platform::FileResult WriteCaptureFile(const std::string& path, const CaptureFrame& frame,
                                      const std::optional<FrameArea>& area,
                                      const std::optional<PageShape>& shape, int32_t ppm) {
    const size_t stride = Stride24(frame.width);
    if (frame.bytes == nullptr || frame.width <= 0 || frame.height <= 0 ||
        frame.length < stride * static_cast<size_t>(frame.height))
        return platform::FileResult::Failed("the camera's picture was incomplete");
    auto frame_row = [&](int i) { return frame.bytes + stride * static_cast<size_t>(i); };

    if (area) {
        // Stored rows run bottom-up: the area's lowest row is the frame's row (height - bottom edge).
        const size_t out_stride = Stride24(area->width);
        std::vector<uint8_t> rows(out_stride * static_cast<size_t>(area->height), 0);
        const int first = frame.height - (area->y0 + area->height);
        for (int k = 0; k < area->height; ++k)
            std::memcpy(rows.data() + out_stride * k,
                        frame_row(first + k) + 3 * static_cast<size_t>(area->x0),
                        3 * static_cast<size_t>(area->width));
        return WriteParts(path, Headers(area->width, area->height, ppm),
                          {reinterpret_cast<const char*>(rows.data()), rows.size()});
    }
    if (!shape) {
        // Straight from the grabber's buffer.
        return WriteParts(
            path, Headers(frame.width, frame.height, ppm),
            {reinterpret_cast<const char*>(frame.bytes), stride * static_cast<size_t>(frame.height)});
    }
    const size_t out_stride = Stride24(shape->width);
    std::vector<uint8_t> rows(out_stride * static_cast<size_t>(shape->height), 0xFF);
    const int left = std::max(0, (shape->width - frame.width) / 2);
    const int copy = std::min(frame.width, shape->width);
    const int first = (frame.height - shape->height) / 2;
    for (int k = 0; k < shape->height; ++k) {
        const int source = first + k;
        if (source < 0 || source >= frame.height) continue;  // a frame lower than the page: white rows
        std::memcpy(rows.data() + out_stride * k + 3 * static_cast<size_t>(left), frame_row(source),
                    3 * static_cast<size_t>(copy));
    }
    return WriteParts(path, Headers(shape->width, shape->height, ppm),
                      {reinterpret_cast<const char*>(rows.data()), rows.size()});
}

ReshapeResult ReshapeToPage(const std::string& path, const PageShape& shape) {
    auto file = platform::ReadBinaryFile(path);
    if (!file) return ReshapeResult::Unreadable;
    auto view = platform::ParseBmp(*file);
    if (!view) return ReshapeResult::Unreadable;
    if (view->bits_per_pixel != 24) return ReshapeResult::Skipped;

    const size_t out_stride = Stride24(shape.width);
    std::vector<uint8_t> rows(out_stride * static_cast<size_t>(shape.height), 0xFF);
    // Horizontally: white margin left, or the middle columns of a wider picture.
    const int left = std::max(0, (shape.width - view->width) / 2);
    const int skip = std::max(0, (view->width - shape.width) / 2);
    const int copy = std::min(view->width, shape.width);
    // Vertically: the middle rows of a taller picture, or white rows below and above.
    const int from = view->height > shape.height ? (view->height - shape.height) / 2 : 0;
    const int below = view->height > shape.height ? 0 : (shape.height - view->height) / 2;
    const int count = std::min(view->height, shape.height);
    for (int k = 0; k < count; ++k)
        std::memcpy(rows.data() + out_stride * (below + k) + 3 * static_cast<size_t>(left),
                    view->Row(from + k) + 3 * static_cast<size_t>(skip), 3 * static_cast<size_t>(copy));
    std::string headers(kHeadersSize, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(headers.data());
    platform::WriteBmpFileHeader(bytes, static_cast<uint32_t>(rows.size() + kHeadersSize), kHeadersSize);
    platform::WriteDibInfoHeader(bytes + 14, shape.width, shape.height, 24, 0, view->x_pixels_per_meter,
                                 view->y_pixels_per_meter, 0);
    return WriteParts(path, headers, {reinterpret_cast<const char*>(rows.data()), rows.size()})
               ? ReshapeResult::Done
               : ReshapeResult::Unreadable;
}

int CountCardList(const std::string& picture) {
    const size_t dot = picture.find_last_of('.');
    const size_t slash = picture.find_last_of('/');
    const std::string list = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                                 ? picture + ".txt"
                                 : picture.substr(0, dot + 1) + "txt";
    if (list == picture) return 0;  // the picture itself is never read or deleted as its own list
    auto text = platform::ReadFile(list);
    if (!text) return 0;
    // UTF-16 little-endian: the marks we look for are plain ASCII, so the low bytes are enough.
    std::string narrow;
    size_t i = text->size() >= 2 && static_cast<uint8_t>((*text)[0]) == 0xFF &&
                       static_cast<uint8_t>((*text)[1]) == 0xFE
                   ? 2
                   : 0;
    for (; i + 1 < text->size(); i += 2) narrow.push_back((*text)[i + 1] == 0 ? (*text)[i] : '?');
    int cards = 0;
    size_t start = 0;
    while (start < narrow.size()) {
        size_t end = narrow.find('\n', start);
        if (end == std::string::npos) end = narrow.size();
        if (std::string_view(narrow).substr(start, end - start).find("No=") != std::string_view::npos)
            ++cards;
        start = end + 1;
    }
    platform::DeleteFile(list);
    return cards;
}

std::string KeepPageFile(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const std::string stem = dot == std::string::npos ? path : path.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : path.substr(dot);
    for (int n = 1; n < 100000; ++n) {
        const std::string kept = stem + "-page" + std::to_string(n) + extension;
        if (platform::MoveFileNoReplace(path, kept)) return kept;
        if (!platform::GetFileAttributes(kept)) break;  // not taken: the move itself failed
    }
    platform::DebugLog("capture", "cannot give %s a page name of its own", path.c_str());
    return path;
}

std::optional<std::string> PublishUnderFreeName(const std::string& output,
                                                const std::function<bool(const std::string& path)>& write,
                                                const std::function<std::string()>& next_name) {
    const size_t slash = output.find_last_of('/');
    if (output.empty() || slash == std::string::npos || slash + 1 == output.size()) return std::nullopt;
    const std::optional<std::string> hidden =
        platform::CreateUniqueFileIn(output.substr(0, slash + 1), "." + output.substr(slash + 1));
    if (!hidden) return std::nullopt;
    bool ok = write(*hidden) && platform::SetDefaultFileMode(*hidden) && platform::SyncFile(*hidden);
    std::string name = output;
    for (int tries = 0; ok && tries < 100; ++tries) {
        if (platform::MoveFileNoReplace(*hidden, name)) return name;
        if (!platform::GetFileAttributes(name)) break;  // not taken: the move itself failed
        platform::DebugLog("capture", "%s was taken meanwhile; the next free name is used", name.c_str());
        name = next_name ? next_name() : std::string();
        ok = !name.empty();
    }
    platform::DebugLog("capture", "%s was not written", output.c_str());
    platform::DeleteFile(*hidden);
    return std::nullopt;
}

std::string KeepInSaveFolder(const NamingSettings& naming, const std::string& picture) {
    const size_t dot = picture.find_last_of('.');
    const std::string extension = dot == std::string::npos ? std::string(".bmp") : picture.substr(dot);
    CreateFolderPath(naming.save_path);
    CFileNaming names;
    for (int tries = 0; tries < 100; ++tries) {
        if (names.FindFreeNumberedName(naming.save_path, naming.prefix, extension) == 0) break;
        if (platform::MoveFileNoReplace(picture, names.m_szOutputFile)) return names.m_szOutputFile;
        if (!platform::GetFileAttributes(names.m_szOutputFile)) break;  // not taken: the folder refuses it
    }
    platform::DebugLog("capture", "the save folder %s cannot take %s; it stays there",
                       naming.save_path.c_str(), picture.c_str());
    return picture;
}

std::vector<std::string> SaveLeftoverPictures(const NamingSettings& naming) {
    std::vector<std::string> saved;
    const std::optional<std::string> folder = platform::PrivateTempFolder();
    if (!folder) return saved;
    std::vector<std::string> names = platform::FolderEntries(*folder).value_or(std::vector<std::string>{});
    std::sort(names.begin(), names.end(),
              PageNameBefore);  // pages keep their order: -page1, -page2 ... -page10
    // The pages of a gathered document in the order the user left them, then any others.
    std::vector<std::string> paths = ReadPageListFile(PageOrderListPath(), *folder);
    for (const std::string& name : names)
        if (std::find(paths.begin(), paths.end(), *folder + name) == paths.end())
            paths.push_back(*folder + name);
    for (const std::string& path : paths) {
        struct stat st {};
        if (path.size() < 4 || path.compare(path.size() - 4, 4, ".bmp") != 0 ||
            ::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const std::string kept = KeepInSaveFolder(naming, path);
        if (kept != path) saved.push_back(kept);
    }
    platform::DeleteFile(PageOrderListPath());
    platform::DeleteFile(CardSeriesListPath());
    if (!saved.empty()) platform::DebugLog("capture", "%zu picture(s) of an earlier run saved", saved.size());
    return saved;
}

std::string PageOrderListPath() {
    const std::optional<std::string> folder = platform::PrivateTempFolder();
    return folder ? *folder + "Kvo~Vellumo-pages.lst" : std::string();
}

std::string CardSeriesListPath() {
    const std::optional<std::string> folder = platform::PrivateTempFolder();
    return folder ? *folder + "Doc-BCR-Temp.tmp" : std::string();
}

bool AppendCardSeriesPicture(const std::string& picture) {
    const std::string list = CardSeriesListPath();
    if (!list.empty() && platform::AppendPrivateFile(list, picture + "\r\n")) return true;
    platform::DebugLog("capture", "cannot note %s in %s", picture.c_str(), list.c_str());
    return false;
}

void DeleteCardSeriesPictures() {
    const std::string list = CardSeriesListPath();
    std::optional<std::string> text = platform::ReadFile(list);
    if (!text) return;
    size_t start = 0;
    while (start < text->size()) {
        size_t end = text->find('\n', start);
        if (end == std::string::npos) end = text->size();
        std::string line = text->substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // Only what the program itself put there: a line naming anything else is left alone.
        if (platform::InPrivateTempFolder(line))
            platform::DeleteFile(line);
        else if (!line.empty())
            platform::DebugLog("capture", "%s is not a picture of ours; it is not deleted", line.c_str());
        start = end + 1;
    }
    platform::DeleteFile(list);
}

}  // namespace pipeline
