#include "virtualcam/scenes/desk_scene.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

namespace virtualcam {
namespace {

cv::Mat PrintedSheet(const Sheet& sheet, cv::RNG& rng) {
    cv::Mat paper(sheet.size, CV_8UC3, sheet.paper);
    if (sheet.print) {
        sheet.print(paper);
        return paper;
    }
    double scale = std::max(0.3, sheet.size.width / 900.0);
    int line_height = static_cast<int>(28 * scale) + 4;
    int margin = sheet.size.width / 10;
    for (int y = margin + line_height; y < sheet.size.height - margin; y += line_height) {
        const double font_scale = 0.8 * scale;
        const int thickness = std::max(1, static_cast<int>(2 * scale));
        std::string words;
        int count = 3 + rng.uniform(0, 6);
        for (int i = 0; i < count; ++i) {
            std::string next = words + (i ? " " : "") +
                               std::string("Lorem ipsum dolor sit").substr(0, 3 + rng.uniform(0, 10));
            int baseline = 0;
            // Print stays inside the side margins, as on a real page.
            if (cv::getTextSize(next, cv::FONT_HERSHEY_SIMPLEX, font_scale, thickness, &baseline).width >
                sheet.size.width - 2 * margin)
                break;
            words = next;
        }
        cv::putText(paper, words, cv::Point(margin, y), cv::FONT_HERSHEY_SIMPLEX, font_scale,
                    cv::Scalar(30, 30, 30), thickness, cv::LINE_AA);
    }
    return paper;
}

// The per-pixel steps of a scene run a band of rows at a time, in place on the canvas: full-size float
// pictures would be 60 MB each at 2592 x 1944.
template <typename Step>
void ForEachBand(cv::Mat& canvas, Step step) {
    constexpr int kBandRows = 64;
    for (int top = 0; top < canvas.rows; top += kBandRows) {
        const cv::Range rows(top, std::min(canvas.rows, top + kBandRows));
        cv::Mat band = canvas.rowRange(rows);
        step(rows, band);
    }
}

}  // namespace

Scene MakeScene(cv::Size desk_size, cv::Scalar desk, const std::vector<Sheet>& sheets, unsigned seed) {
    cv::RNG rng(seed);
    Scene scene;
    cv::Mat canvas(desk_size, CV_32FC3, desk);
    for (int x = 0; x < desk_size.width; ++x) canvas.col(x) *= 0.9 + 0.2 * x / desk_size.width;
    for (const Sheet& sheet : sheets) {
        cv::Mat paper = PrintedSheet(sheet, rng);
        double a = sheet.angle_degrees * CV_PI / 180.0;
        double c = std::cos(a), s = std::sin(a);
        // Sheet pixel (i, j) has its centre at (i - (w-1)/2, j - (h-1)/2) from the sheet's centre.
        double u0 = (sheet.size.width - 1) / 2.0, v0 = (sheet.size.height - 1) / 2.0;
        cv::Matx23d to_desk(c, -s, sheet.centre.x - c * u0 + s * v0, s, c, sheet.centre.y - s * u0 - c * v0);
        cv::Mat warped, mask;
        cv::warpAffine(paper, warped, cv::Mat(to_desk), desk_size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        paper.release();
        cv::Mat full(sheet.size, CV_32F, cv::Scalar(1.0));
        cv::warpAffine(full, mask, cv::Mat(to_desk), desk_size, cv::INTER_LINEAR, cv::BORDER_CONSTANT);
        full.release();
        if (sheet.shadow > 0) {
            // A lamp above and to the left: the shadow is the sheet's shape, shifted and blurred.
            const double offset = std::max(2.0, 0.01 * std::min(sheet.size.width, sheet.size.height));
            cv::Mat shade;
            cv::Matx23d shift(1, 0, offset, 0, 1, offset);
            cv::warpAffine(mask, shade, cv::Mat(shift), desk_size);
            const int blur = 2 * static_cast<int>(offset) + 1;
            cv::GaussianBlur(shade, shade, cv::Size(blur, blur), 0);
            ForEachBand(canvas, [&](const cv::Range& rows, cv::Mat& band) {
                cv::Mat dim = cv::Scalar::all(1.0) - sheet.shadow * shade.rowRange(rows), dim3;
                cv::merge(std::vector<cv::Mat>{dim, dim, dim}, dim3);
                cv::multiply(band, dim3, band);
            });
        }
        // canvas x (1 - mask) + sheet x mask
        ForEachBand(canvas, [&](const cv::Range& rows, cv::Mat& band) {
            cv::Mat sheet_f, mask3;
            warped.rowRange(rows).convertTo(sheet_f, CV_32FC3);
            const cv::Mat weight = mask.rowRange(rows);
            cv::merge(std::vector<cv::Mat>{weight, weight, weight}, mask3);
            cv::multiply(sheet_f, mask3, sheet_f);
            mask3 = cv::Scalar::all(1.0) - mask3;
            cv::multiply(band, mask3, band);
            cv::add(band, sheet_f, band);
        });

        std::array<cv::Point2d, 4> corners;
        const double hw = sheet.size.width / 2.0, hh = sheet.size.height / 2.0;
        const cv::Point2d offsets[4] = {{-hw, -hh}, {hw, -hh}, {hw, hh}, {-hw, hh}};
        for (int i = 0; i < 4; ++i)
            corners[i] = sheet.centre + cv::Point2d(c * offsets[i].x - s * offsets[i].y,
                                                    s * offsets[i].x + c * offsets[i].y);
        scene.corners.push_back(corners);
    }
    ForEachBand(canvas, [&](const cv::Range&, cv::Mat& band) {
        cv::Mat noise(band.size(), CV_32FC3);
        rng.fill(noise, cv::RNG::NORMAL, cv::Scalar::all(0), cv::Scalar::all(4));
        band += noise;
    });
    canvas.convertTo(scene.picture, CV_8UC3);
    return scene;
}

}  // namespace virtualcam
