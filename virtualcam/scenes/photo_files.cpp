#include "virtualcam/scenes/photo_files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <opencv2/imgproc.hpp>
#include <sstream>

#include "outside/common/jpeg_decode.h"
#include "platform/files/files.h"

namespace virtualcam {
namespace {

bool IsJpegName(const std::string& name) {
    std::string lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    auto ends = [&](const std::string& tail) {
        return lower.size() > tail.size() &&
               lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
    };
    return ends(".jpg") || ends(".jpeg");
}

std::optional<PhotoCase::Kind> KindFromName(const std::string& name) {
    if (name == "page") return PhotoCase::Kind::Page;
    if (name == "cut") return PhotoCase::Kind::CutPage;
    if (name == "cards") return PhotoCase::Kind::Cards;
    return std::nullopt;
}

}  // namespace

std::vector<std::string> PictureFiles(const std::string& path) {
    auto entries = platform::FolderEntries(path);
    if (!entries)
        return platform::ReadFile(path) ? std::vector<std::string>{path} : std::vector<std::string>{};
    std::vector<std::string> files;
    for (const std::string& name : *entries)
        if (IsJpegName(name)) files.push_back(path + (path.empty() || path.back() == '/' ? "" : "/") + name);
    std::sort(files.begin(), files.end());
    return files;
}

cv::Mat ReadPicture(const std::string& path) {
    auto bytes = platform::ReadFile(path);
    return bytes ? outside::DecodeJpeg(*bytes) : cv::Mat();
}

FramedPhoto FitIntoFrame(const cv::Mat& photo, cv::Size frame) {
    FramedPhoto framed;
    framed.scale = std::min(frame.width / static_cast<double>(photo.cols),
                            frame.height / static_cast<double>(photo.rows));
    cv::Size size(std::min(frame.width, static_cast<int>(std::lround(photo.cols * framed.scale))),
                  std::min(frame.height, static_cast<int>(std::lround(photo.rows * framed.scale))));
    cv::Mat scaled;
    cv::resize(photo, scaled, size, 0, 0, framed.scale < 1 ? cv::INTER_AREA : cv::INTER_LINEAR);
    const int left = (frame.width - size.width) / 2, top = (frame.height - size.height) / 2;
    cv::copyMakeBorder(scaled, framed.picture, top, frame.height - size.height - top, left,
                       frame.width - size.width - left, cv::BORDER_REPLICATE);
    // Pixel centres: the photograph's pixel x spans x - 0.5 .. x + 0.5 and lands on the scaled grid alike.
    framed.offset = cv::Point2d(left + 0.5 * (size.width / static_cast<double>(photo.cols) - 1),
                                top + 0.5 * (size.height / static_cast<double>(photo.rows) - 1));
    framed.scale = size.width / static_cast<double>(photo.cols);
    return framed;
}

std::optional<std::vector<PhotoCase>> ReadPhotoManifest(const std::string& folder) {
    auto text = platform::ReadFile(folder + "/manifest.txt");
    if (!text) return std::nullopt;
    std::vector<PhotoCase> cases;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        PhotoCase c;
        std::string kind, turn, truth;
        if (!(words >> c.file) || c.file[0] == '#') continue;
        bool ok = static_cast<bool>(words >> kind >> c.count >> turn >> truth >> c.source >> c.source_path >>
                                    c.licence);
        // "-": sheets with nothing printed to read, which have no upright turn.
        c.has_upright = turn != "-";
        if (c.has_upright) ok = ok && turn.size() == 1 && turn[0] >= '0' && turn[0] <= '3';
        c.turn = c.has_upright && ok ? turn[0] - '0' : 0;
        auto parsed = KindFromName(kind);
        ok = ok && parsed && (truth == "given" || truth == "ours" || truth == "none") && c.count >= 0;
        if (ok) {
            c.kind = *parsed;
            c.marked_by_us = truth == "ours";
            std::array<cv::Point2d, 4> sheet;
            int n = 0;
            double x = 0, y = 0;
            while (words >> x >> y) {
                sheet[n % 4] = cv::Point2d(x, y);
                if (++n % 4 == 0) c.sheets.push_back(sheet);
            }
            ok = n % 4 == 0 &&
                 (truth == "none" ? c.sheets.empty() : static_cast<int>(c.sheets.size()) == c.count) &&
                 (words.eof());
        }
        if (!ok) {
            std::fprintf(stderr, "photo manifest: cannot read line \"%s\"\n", line.c_str());
            return std::nullopt;
        }
        cases.push_back(std::move(c));
    }
    return cases;
}

}  // namespace virtualcam
