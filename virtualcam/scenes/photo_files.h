#pragma once
// Real photographs as scenes: a JPEG file, or a folder of them shown one after another, fitted into the
// camera's frame; and the development set of photographs with their known answers (tests/data/photos).

#include <array>
#include <opencv2/core.hpp>
#include <optional>
#include <string>
#include <vector>

namespace virtualcam {

// The JPEG files of a folder (.jpg / .jpeg, any case) as full paths in name order, or the path itself
// when it is a file. Empty when there is nothing to show.
std::vector<std::string> PictureFiles(const std::string& path);

// The picture in the file, BGR; empty when it cannot be read or decoded.
cv::Mat ReadPicture(const std::string& path);

// A photograph fitted whole into a frame: scaled to touch two opposite sides and centred, the rest
// filled by repeating its border pixels (so a sheet cut by the photograph's edge stays cut by the
// frame's, and no new edge appears). A point of the photograph lands at point * scale + offset.
struct FramedPhoto {
    cv::Mat picture;
    double scale = 1;
    cv::Point2d offset;
};
FramedPhoto FitIntoFrame(const cv::Mat& photo, cv::Size frame);

// One photograph of the development set. Corners are in the stored picture's pixels, in the order
// top-left, top-right, bottom-right, bottom-left of the sheet turned so that its text reads upright.
struct PhotoCase {
    enum class Kind {
        Page,     // one page wholly in view: to be found whole and turned upright
        CutPage,  // a page the photograph's edge cuts, or one held at a slant: the picture stays unchanged
        Cards,    // business cards, each to be found once
    };
    std::string file;
    Kind kind = Kind::Page;
    int turn = 0;               // quarter turns clockwise that make the first sheet's text upright
    bool has_upright = true;    // false for sheets with no print (card backs, pattern cards)
    bool marked_by_us = false;  // corners set by us (no ground truth came with the picture)
    std::string source, source_path, licence;
    std::vector<std::array<cv::Point2d, 4>> sheets;  // the known corners; empty where only the count is known
    int count = 0;                                   // sheets to be found
};

// The cases listed in folder/manifest.txt (see the file's head for its columns); nothing when it
// cannot be read or a line is malformed (the line is named on stderr).
std::optional<std::vector<PhotoCase>> ReadPhotoManifest(const std::string& folder);

}  // namespace virtualcam
