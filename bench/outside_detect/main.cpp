// Document and card detection time per 2592 x 1944 picture, through the libraries' call sequences
// (reading the BMP, detecting, straightening and writing the result), with the corner error against
// the drawn page.
//
// Usage: outside_detect_bench [pictures]   (default 6)

#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "outside/common/dib_mat.h"
#include "outside/common/quads.h"
#include "outside/fasize/fasize.h"
#include "outside/kvoasize/kvoasize.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/files/files.h"
#include "virtualcam/scenes/desk_scene.h"

namespace {

constexpr int kWidth = 2592, kHeight = 1944;

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    int pictures = argc > 1 ? std::max(1, std::atoi(argv[1])) : 6;
    std::string dir = platform::TempFolder() + "vellumo-detect-bench";
    std::filesystem::create_directories(dir);
    const cv::Scalar desks[] = {{45, 50, 60}, {70, 110, 150}, {170, 175, 180}};
    std::vector<double> times;
    double worst_corner = 0, worst_angle = 0;
    for (int i = 0; i < pictures; ++i) {
        double angle = -15 + 30.0 * i / std::max(1, pictures - 1);
        virtualcam::Sheet page{cv::Size(1100, 1500), cv::Point2d(1296 + 40 * (i % 3), 972 - 30 * (i % 2)), angle};
        virtualcam::Scene drawn = virtualcam::MakeScene(cv::Size(kWidth, kHeight), desks[i % 3], {page}, i);
        std::string path = dir + "/page.bmp";
        auto bmp = outside::EncodeBgrAsBmp(drawn.picture, 11811, 11811);
        if (!bmp || !platform::WriteFileReplacing(path, *bmp)) return 1;

        auto found = outside::DetectPage(drawn.picture);
        if (found) {
            for (int k = 0; k < 4; ++k) worst_corner = std::max(worst_corner, cv::norm(found->corners[k] - drawn.corners[0][k]));
            worst_angle = std::max(worst_angle, std::abs(outside::QuadAngleDegrees(*found) - angle));
        }

        auto start = std::chrono::steady_clock::now();
        KVOASIZE_HANDLE handle = kvoASize_Init(1);
        kvoASize_SetOrientation(handle, 0);
        int status = 1;
        KVOASIZE_JOB job = kvoASize_StartA(handle, 4, path.c_str(), 0, 0, &status);
        if (status == 0 && job != nullptr) kvoASize_SaveImageA(handle, 4, job, path.c_str(), 0);
        kvoASize_End(job);
        kvoASize_Clear(handle);
        times.push_back(Milliseconds(start));
        std::printf("page turned %6.2f deg: %s in %.1f ms\n", angle, status == 0 ? "found" : "NOT FOUND", times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("document detection per picture: median %.1f ms, slowest %.1f ms\n", times[times.size() / 2], times.back());
    std::printf("worst corner error %.2f px (1%% of the diagonal is %.1f px), worst angle error %.3f deg\n", worst_corner,
                0.01 * std::hypot(1100, 1500), worst_angle);

    virtualcam::Scene cards = virtualcam::MakeScene(cv::Size(kWidth, kHeight), desks[1],
                                                        {{cv::Size(900, 540), cv::Point2d(700, 500), -8},
                                                         {cv::Size(880, 530), cv::Point2d(1900, 520), 5},
                                                         {cv::Size(910, 545), cv::Point2d(700, 1450), 12},
                                                         {cv::Size(890, 535), cv::Point2d(1880, 1440), -3}},
                                                        99);
    std::string path = dir + "/cards.bmp";
    auto bmp = outside::EncodeBgrAsBmp(cards.picture, 11811, 11811);
    if (!bmp || !platform::WriteFileReplacing(path, *bmp)) return 1;
    auto start = std::chrono::steady_clock::now();
    KVOFASIZE_HANDLE handle = kvoFASize_Init(100, 1);
    int status = 1;
    KVOFASIZE_JOB job = kvoFASize_StartA(handle, path.c_str(), 0, &status);
    if (status == 0 && job != nullptr) kvoFASize_SaveImageA(handle, job, path.c_str(), 0);
    kvoFASize_End(job);
    kvoFASize_Clear(handle);
    double card_ms = Milliseconds(start);
    int found = 0;
    for (int i = 1; i <= 9; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/cards%04d.bmp", i);
        found += std::filesystem::exists(dir + name) ? 1 : 0;
    }
    std::printf("card detection, 4 cards drawn: %d card files in %.1f ms\n", found, card_ms);
    std::filesystem::remove_all(dir);
    return 0;
}
