// The page and card detectors over the project's scene set at 2592 x 1944: per scene what was found
// against the known answer, then the table of pages found, cards counted exactly, worst corner error
// (percent of the sheet's diagonal), worst residual skew, false positives and time per picture (the
// library's whole call sequence: reading the BMP, detecting, turning upright, writing the result).
//
// Usage: outside_detect_bench [repeats [width]]   (default 3 repeats, the time the median over all runs;
// pictures 2592 x 1944, or width x 3/4 width)

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <string>
#include <vector>

#include "outside/common/bmp_source.h"
#include "outside/common/dib_mat.h"
#include "outside/common/quads.h"
#include "outside/fasize/card_detector.h"
#include "outside/fasize/fasize.h"
#include "outside/kvoasize/kvoasize.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/files/files.h"
#include "virtualcam/scenes/detection_scenes.h"

namespace {

using virtualcam::DetectionCase;

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

cv::Point2d Centre(const std::array<cv::Point2d, 4>& c) { return (c[0] + c[1] + c[2] + c[3]) * 0.25; }

struct Score {
    double corner_percent = 0;  // worst corner distance over the diagonal
    double skew_degrees = 0;    // turn of the found top edge against the true one
};

Score Compare(const outside::Quad& found, const std::array<cv::Point2d, 4>& truth) {
    Score score;
    double diagonal = cv::norm(truth[2] - truth[0]);
    for (int i = 0; i < 4; ++i)
        score.corner_percent =
            std::max(score.corner_percent, 100 * cv::norm(found.corners[i] - truth[i]) / diagonal);
    cv::Point2d a = found.corners[1] - found.corners[0], b = truth[1] - truth[0];
    double turn = (std::atan2(a.y, a.x) - std::atan2(b.y, b.x)) * 180 / CV_PI;
    score.skew_degrees = std::abs(std::remainder(turn, 360.0));
    return score;
}

// Runs the library's call sequence on the file; returns its status word.
int RunLibrary(DetectionCase::Kind kind, const std::string& path) {
    int status = 1;
    if (kind == DetectionCase::Kind::Page) {
        KVOASIZE_HANDLE handle = kvoASize_Init(1);
        if (handle != nullptr) {
            kvoASize_SetOrientation(handle, 0);
            KVOASIZE_JOB job = kvoASize_StartA(handle, 4, path.c_str(), 0, 0, &status);
            if (status == 0 && job != nullptr) kvoASize_SaveImageA(handle, 4, job, path.c_str(), 0);
            kvoASize_End(job);
        }
        kvoASize_Clear(handle);
    } else {
        KVOFASIZE_HANDLE handle = kvoFASize_Init(100, 1);
        if (handle != nullptr) {
            kvoFASize_SetOrientation(handle, 0);
            KVOFASIZE_JOB job = kvoFASize_StartA(handle, path.c_str(), 0, &status);
            if (status == 0 && job != nullptr) kvoFASize_SaveImageA(handle, job, path.c_str(), 0);
            kvoFASize_End(job);
        }
        kvoFASize_Clear(handle);
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int width = argc > 2 ? std::max(320, std::atoi(argv[2])) : 2592;
    const cv::Size size(width, width * 3 / 4);
    const std::string dir = platform::TempFolder() + "vellumo-detect-bench";
    std::filesystem::create_directories(dir);
    int pages = 0, pages_found = 0, card_scenes = 0, card_scenes_exact = 0, false_positives = 0, refused = 0;
    double worst_corner = 0, worst_skew = 0;
    std::vector<double> times;
    std::printf("%-20s %6s %6s %6s %10s %9s %9s\n", "scene", "want", "found", "status", "corner %",
                "skew deg", "ms");
    for (const std::string& name : virtualcam::DetectionCaseNames()) {
        DetectionCase c = virtualcam::MakeDetectionCase(name, size);
        const std::string file = virtualcam::EncodeBmpAs(c.scene.picture, c.storage);
        const std::string path = dir + "/Kvo~Vellumo.bmp";
        // What the library sees: the picture as read back from its file.
        if (!platform::WriteFileReplacing(path, file)) return 1;
        auto bmp = outside::LoadBmp(path, "bench");
        std::vector<outside::Quad> found;
        if (bmp) {
            cv::Mat picture = outside::DibToBgr(bmp->view);
            if (c.kind == DetectionCase::Kind::Page) {
                if (auto page = outside::DetectPage(picture)) found.push_back(*page);
            } else {
                found = outside::DetectCards(picture, 100);
            }
        } else {
            ++refused;
        }
        int status = 1;
        for (int r = 0; r < repeats; ++r) {
            if (!platform::WriteFileReplacing(path, file)) return 1;
            auto start = std::chrono::steady_clock::now();
            status = RunLibrary(c.kind, path);
            times.push_back(Milliseconds(start));
        }
        const size_t want = c.scene.corners.size();
        Score worst;
        size_t matched = 0;
        for (const auto& truth : c.scene.corners) {
            double short_side = std::min(cv::norm(truth[1] - truth[0]), cv::norm(truth[3] - truth[0]));
            auto near = std::min_element(found.begin(), found.end(),
                                         [&](const outside::Quad& a, const outside::Quad& b) {
                                             return cv::norm(Centre(a.corners) - Centre(truth)) <
                                                    cv::norm(Centre(b.corners) - Centre(truth));
                                         });
            if (near == found.end() || cv::norm(Centre(near->corners) - Centre(truth)) > 0.5 * short_side) {
                worst.corner_percent = std::max(worst.corner_percent, 100.0);
                continue;
            }
            ++matched;
            Score s = Compare(*near, truth);
            worst.corner_percent = std::max(worst.corner_percent, s.corner_percent);
            worst.skew_degrees = std::max(worst.skew_degrees, s.skew_degrees);
        }
        if (c.kind == DetectionCase::Kind::Page) {
            pages += static_cast<int>(want);
            pages_found += static_cast<int>(matched);
        } else if (want > 0) {
            ++card_scenes;
            card_scenes_exact += found.size() == want && matched == want ? 1 : 0;
        }
        if (want == 0 && (!found.empty() || status == 0)) ++false_positives;
        if (want > 0) {
            worst_corner = std::max(worst_corner, worst.corner_percent);
            worst_skew = std::max(worst_skew, worst.skew_degrees);
        }
        std::printf("%-20s %6zu %6zu %6d %10.2f %9.3f %9.1f\n", name.c_str(), want, found.size(), status,
                    want ? worst.corner_percent : 0.0, worst.skew_degrees, times.back());
    }
    std::sort(times.begin(), times.end());
    std::printf("\n| measure | result |\n|---|---|\n");
    std::printf("| pages found | %d of %d |\n", pages_found, pages);
    std::printf("| card scenes counted exactly | %d of %d |\n", card_scenes_exact, card_scenes);
    std::printf("| worst corner error | %.2f %% of the diagonal |\n", worst_corner);
    std::printf("| worst residual skew | %.3f degrees |\n", worst_skew);
    std::printf("| false positives (scenes with nothing to find) | %d |\n", false_positives);
    std::printf("| pictures refused | %d |\n", refused);
    std::printf("| time per %dx%d picture | median %.1f ms, slowest %.1f ms |\n", size.width, size.height,
                times[times.size() / 2], times.back());
    std::filesystem::remove_all(dir);
    return 0;
}
