// The page and card detectors over the development set of real photographs, each fitted into a
// 2592 x 1944 frame as the camera would deliver it. Per photograph what was found against the known
// answer, then the table.
//
// A page counts as found whole when every corner lies within 1.5% of its diagonal of the true one, too
// tight when the found outline lies within the true one but is not whole, wrong otherwise (wrong too: any
// outline accepted on a photograph whose page the edge cuts). The upright turn is right when the found
// corners come in the true order (for cards too: each true card found). Cards are counted right when exactly
// the true cards are found, each once; any other card found is a wrong object. Times are those of DetectPage
// / DetectCards (detection and upright turn) on the 2592 x 1944 frame, as wall time and as the process's
// processor time (which other work on a shared machine sways less).
//
// Usage: outside_photos_bench [folder [repeats]]  (default the source tree's tests/data/photos, 1 repeat;
//                                                  each photo's time is the median of its repeats)
//        outside_photos_bench --corners FILE      prints the page or cards found in one photograph, in
//                                                 its own pixels (for marking corners)
//        outside_photos_bench --draw OUT [folder [repeats]]
//                                                 as the first, and draws each photo not found or counted
//                                                 right, off by more than 0.5% or turned wrong into OUT
//        outside_photos_bench --turns [folder]    what decided each page's upright turn, the page lying
//                                                 as photographed and turned by 1..3 quarters

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <opencv2/imgproc.hpp>
#include <optional>
#include <string>
#include <vector>

#include "outside/common/dib_mat.h"
#include "outside/common/quads.h"
#include "outside/common/text_orientation.h"
#include "outside/fasize/card_detector.h"
#include "outside/kvoasize/page_detector.h"
#include "virtualcam/scenes/photo_files.h"

namespace {

using virtualcam::PhotoCase;
using Corners = std::array<cv::Point2d, 4>;

const cv::Size kFrame(2592, 1944);

double Milliseconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

cv::Point2d Centre(const Corners& c) { return (c[0] + c[1] + c[2] + c[3]) * 0.25; }

// Worst corner distance in percent of the true diagonal, with the found corners taken in their own order
// (shift 0) or turned by a quarter (1..3); the best shift is returned too.
struct Match {
    double in_order = 1e9;  // with the found order as it is
    double best = 1e9;      // with the best of the four orders
    int shift = 0;
};

Match CompareCorners(const Corners& found, const Corners& truth) {
    Match m;
    const double diagonal = std::max(cv::norm(truth[2] - truth[0]), cv::norm(truth[3] - truth[1]));
    for (int s = 0; s < 4; ++s) {
        double worst = 0;
        for (int i = 0; i < 4; ++i)
            worst = std::max(worst, 100 * cv::norm(found[(i + s) % 4] - truth[i]) / diagonal);
        if (s == 0) m.in_order = worst;
        if (worst < m.best) {
            m.best = worst;
            m.shift = s;
        }
    }
    return m;
}

bool Inside(const Corners& outer, cv::Point2d p, double margin) {
    std::vector<cv::Point2f> contour(outer.begin(), outer.end());
    return cv::pointPolygonTest(contour, cv::Point2f(p), true) >= -margin;
}

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int PrintCorners(const std::string& file) {
    cv::Mat photo = virtualcam::ReadPicture(file);
    if (photo.empty()) return 1;
    auto framed = virtualcam::FitIntoFrame(photo, kFrame);
    std::vector<outside::Quad> found;
    if (auto page = outside::DetectPage(framed.picture)) found.push_back(*page);
    for (const auto& q : outside::DetectCards(framed.picture, 100)) found.push_back(q);
    for (const auto& q : found) {
        std::printf("confidence %.2f:", q.confidence);
        for (const auto& p : q.corners)
            std::printf(" %.1f %.1f", (p.x - framed.offset.x) / framed.scale,
                        (p.y - framed.offset.y) / framed.scale);
        std::printf("\n");
    }
    return 0;
}

// Per page found whole, lying as photographed and turned by 1..3 quarters: what the print lines and the
// orientation model said of its turn, against the right one.
int PrintTurnEvidence(const std::string& folder) {
    auto cases = virtualcam::ReadPhotoManifest(folder);
    if (!cases) return 1;
    int right = 0, all = 0;
    for (const PhotoCase& c : *cases) {
        if (c.kind != PhotoCase::Kind::Page) continue;
        auto framed = virtualcam::FitIntoFrame(virtualcam::ReadPicture(folder + "/" + c.file), kFrame);
        Corners truth;
        for (int i = 0; i < 4; ++i) truth[i] = c.sheets[0][i] * framed.scale + framed.offset;
        for (int k = 0; k < 4; ++k) {
            cv::Mat turned;
            if (k == 0)
                turned = framed.picture;
            else
                cv::rotate(framed.picture, turned,
                           k == 1   ? cv::ROTATE_90_CLOCKWISE
                           : k == 2 ? cv::ROTATE_180
                                    : cv::ROTATE_90_COUNTERCLOCKWISE);
            Corners moved = truth;
            for (auto& p : moved)
                for (int q = 0; q < k; ++q)
                    p = cv::Point2d((q % 2 == 0 ? framed.picture.rows : framed.picture.cols) - 1 - p.y, p.x);
            auto outline = outside::FindPageOutline(turned);
            if (!outline || outline->confidence < outside::kPageConfidenceNeeded) continue;
            if (CompareCorners(outline->corners, moved).best > 1.5) continue;
            const std::clock_t cpu_start = std::clock();
            outside::PageTurnEvidence e = outside::WeighPageTurn(turned, *outline);
            const double ms = 1000.0 * static_cast<double>(std::clock() - cpu_start) / CLOCKS_PER_SEC;
            // The turn that brings the outline's own order to the true one.
            int want = -1;
            for (int t = 0; t < 4; ++t)
                if (CompareCorners(outside::TurnQuad(*outline, t).corners, moved).shift == 0) want = t;
            if (const char* dump = std::getenv("VELLUMO_TURN_DUMP"); dump && k == 0) {
                // The page straightened as it lies, for looking at by hand.
                const outside::Quad q = outside::TurnQuad(*outline, want);
                const cv::Size size = outside::QuadSize(q);
                std::array<cv::Point2f, 4> from,
                    to = {cv::Point2f(0, 0), cv::Point2f(size.width, 0), cv::Point2f(size.width, size.height),
                          cv::Point2f(0, size.height)};
                for (int i = 0; i < 4; ++i) from[i] = cv::Point2f(q.corners[i]);
                cv::Mat straight, grey;
                cv::warpPerspective(turned, straight, cv::getPerspectiveTransform(from.data(), to.data()),
                                    size);
                cv::cvtColor(straight, grey, cv::COLOR_BGR2GRAY);
                if (FILE* f = std::fopen((std::string(dump) + "/" + c.file + ".pgm").c_str(), "wb")) {
                    std::fprintf(f, "P5 %d %d 255\n", grey.cols, grey.rows);
                    for (int y = 0; y < grey.rows; ++y) std::fwrite(grey.ptr(y), 1, grey.cols, f);
                    std::fclose(f);
                }
            }
            auto say = [](std::optional<int> t) { return t ? std::to_string(*t) : std::string("-"); };
            ++all;
            right += e.turn && *e.turn == want ? 1 : 0;
            std::printf(
                "%-34s %d want %d got %-2s lines %-2s%s model %-2s %5.2f copy %4dx%-4d read %-2s %6.1f cpu "
                "ms %s\n",
                c.file.c_str(), k, want, say(e.turn).c_str(), say(e.lines).c_str(),
                e.lines_sure ? " sure" : "     ", e.model ? std::to_string(e.model->turn).c_str() : "-",
                e.model ? e.model->confidence : 0.0, e.model_copy.width, e.model_copy.height,
                say(e.reading).c_str(), ms, e.turn && *e.turn == want ? "" : "WRONG");
            if (e.model)
                std::printf("    way %s scores %.2f %.2f %.2f %.2f\n",
                            !e.along_rows   ? "-"
                            : *e.along_rows ? "rows"
                                            : "cols",
                            e.model->score[0], e.model->score[1], e.model->score[2], e.model->score[3]);
        }
    }
    std::printf("right %d of %d\n", right, all);
    return 0;
}

}  // namespace

// A case the detectors got wrong or not quite right, to look at: the true outlines in green, each's top-left
// corner marked, the found ones in red, at half the frame's size.
void DrawCase(const std::string& path, const cv::Mat& frame, const std::vector<Corners>& truth,
              const std::vector<outside::Quad>& found) {
    cv::Mat shown = frame.clone();
    const auto outline = [&](const Corners& corners, const cv::Scalar& colour, int width) {
        std::vector<cv::Point> points;
        for (const cv::Point2d& p : corners) points.emplace_back(cv::Point(cvRound(p.x), cvRound(p.y)));
        cv::polylines(shown, points, true, colour, width, cv::LINE_AA);
        cv::circle(shown, points[0], 4 * width, colour, width, cv::LINE_AA);
    };
    for (const Corners& t : truth) outline(t, cv::Scalar(0, 200, 0), 6);
    for (const outside::Quad& q : found) outline(q.corners, cv::Scalar(0, 0, 255), 3);
    cv::resize(shown, shown, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
    const std::optional<std::string> bmp = outside::EncodeBgrAsBmp(shown, 0, 0);
    std::ofstream file(path.substr(0, path.find_last_of('.')) + ".bmp", std::ios::binary);
    if (!bmp || !file.write(bmp->data(), static_cast<std::streamsize>(bmp->size())))
        std::fprintf(stderr, "cannot write the picture of %s\n", path.c_str());
}

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--corners") return PrintCorners(argv[2]);
    if (argc >= 2 && std::string(argv[1]) == "--turns")
        return PrintTurnEvidence(argc > 2 ? argv[2] : VELLUMO_PHOTO_DIR);
    std::string draw;
    if (argc >= 3 && std::string(argv[1]) == "--draw") {
        draw = argv[2];
        argc -= 2;
        argv += 2;
    }
    const std::string folder = argc > 1 ? argv[1] : VELLUMO_PHOTO_DIR;
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
    auto cases = virtualcam::ReadPhotoManifest(folder);
    if (!cases) {
        std::fprintf(stderr, "no readable manifest in %s\n", folder.c_str());
        return 1;
    }
    int pages = 0, whole = 0, tight = 0, wrong = 0, missed = 0, upright = 0, cut = 0, cut_unchanged = 0;
    int turned_whole = 0, turned_upright = 0, whole_with_upright = 0;
    std::string turned_wrong;
    int card_photos = 0, cards_right = 0, card_wrong = 0, cards_matched = 0, cards_upright = 0,
        cards_with_upright = 0;
    std::vector<double> page_errors, card_errors, times, cpu_times;
    // The models the upright turn may ask are loaded before any photo is timed (the hands-free page watch
    // loads them ahead of its first page too): a load once per run is no detection's time.
    outside::OrientationModel::Shared().Prepare();
    std::printf("%-28s %-6s %5s %5s %-11s %9s %7s %8s %8s\n", "photo", "kind", "want", "found", "result",
                "corner %", "upright", "ms", "cpu ms");
    for (const PhotoCase& c : *cases) {
        cv::Mat photo = virtualcam::ReadPicture(folder + "/" + c.file);
        if (photo.empty()) {
            std::fprintf(stderr, "cannot read %s\n", c.file.c_str());
            return 1;
        }
        auto framed = virtualcam::FitIntoFrame(photo, kFrame);
        std::vector<Corners> truth;
        for (const auto& sheet : c.sheets) {
            Corners t;
            for (int i = 0; i < 4; ++i) t[i] = sheet[i] * framed.scale + framed.offset;
            truth.push_back(t);
        }
        std::vector<outside::Quad> found;
        // Each photo's time is the median of its repeats: a shared machine's other work lengthens one now
        // and then, which says nothing of the detectors.
        std::vector<double> photo_times, photo_cpu_times;
        for (int r = 0; r < repeats; ++r) {
            found.clear();
            auto start = std::chrono::steady_clock::now();
            const std::clock_t cpu_start = std::clock();
            if (c.kind == PhotoCase::Kind::Cards) {
                found = outside::DetectCards(framed.picture, 100);
            } else if (auto page = outside::DetectPage(framed.picture)) {
                if (page->confidence >= outside::kPageConfidenceNeeded) found.push_back(*page);
            }
            photo_times.push_back(Milliseconds(start));
            photo_cpu_times.push_back(1000.0 * static_cast<double>(std::clock() - cpu_start) /
                                      CLOCKS_PER_SEC);
        }
        times.push_back(Median(photo_times));
        cpu_times.push_back(Median(photo_cpu_times));
        std::string result;
        double error = 0;
        bool turned_right = false;
        std::string upright_column = "-";
        if (c.kind == PhotoCase::Kind::CutPage) {
            ++cut;
            result = found.empty() ? "unchanged" : "wrong";
            cut_unchanged += found.empty() ? 1 : 0;
            wrong += found.empty() ? 0 : 1;
        } else if (c.kind == PhotoCase::Kind::Page) {
            ++pages;
            if (found.empty()) {
                result = "missed";
                ++missed;
            } else {
                Match m = CompareCorners(found[0].corners, truth[0]);
                error = m.best;
                turned_right = m.shift == 0;
                bool within =
                    std::all_of(found[0].corners.begin(), found[0].corners.end(), [&](cv::Point2d p) {
                        return Inside(truth[0], p, 0.005 * cv::norm(truth[0][2] - truth[0][0]));
                    });
                if (m.best <= 1.5) {
                    result = "whole";
                    ++whole;
                    page_errors.push_back(m.best);
                    // A sheet with no print has no upright turn to be right or wrong about.
                    if (c.has_upright) {
                        ++whole_with_upright;
                        upright += turned_right ? 1 : 0;
                    }
                    // The same page lying a quarter, a half and three quarters turned: most pages of the set
                    // lie upright, where keeping the outline's own order is right by luck.
                    for (int k = 1; c.has_upright && k <= 3; ++k) {
                        cv::Mat turned;
                        cv::rotate(framed.picture, turned,
                                   k == 1   ? cv::ROTATE_90_CLOCKWISE
                                   : k == 2 ? cv::ROTATE_180
                                            : cv::ROTATE_90_COUNTERCLOCKWISE);
                        Corners moved = truth[0];
                        for (auto& p : moved)
                            for (int q = 0; q < k; ++q)  // a quarter clockwise: (x, y) to (rows - 1 - y, x)
                                p = cv::Point2d(
                                    (q % 2 == 0 ? framed.picture.rows : framed.picture.cols) - 1 - p.y, p.x);
                        auto again = outside::DetectPage(turned);
                        if (!again || again->confidence < outside::kPageConfidenceNeeded) continue;
                        Match t = CompareCorners(again->corners, moved);
                        if (t.best > 1.5) continue;
                        ++turned_whole;
                        turned_upright += t.shift == 0 ? 1 : 0;
                        if (t.shift != 0) turned_wrong += " " + c.file + "/" + std::to_string(k);
                    }
                } else if (within) {
                    result = "too tight";
                    ++tight;
                } else {
                    result = "wrong";
                    ++wrong;
                }
            }
        } else {
            ++card_photos;
            size_t matched = 0;
            int upright_cards = 0;
            double worst = 0;
            for (const Corners& t : truth) {
                double short_side = std::min(cv::norm(t[1] - t[0]), cv::norm(t[3] - t[0]));
                for (const auto& q : found) {
                    if (cv::norm(Centre(q.corners) - Centre(t)) > 0.5 * short_side) continue;
                    Match m = CompareCorners(q.corners, t);
                    if (m.best > 5) continue;
                    ++matched;
                    if (c.has_upright) {
                        ++cards_with_upright;
                        upright_cards += m.shift == 0 ? 1 : 0;
                    }
                    worst = std::max(worst, m.best);
                    card_errors.push_back(m.best);
                    break;
                }
            }
            card_wrong += static_cast<int>(found.size() - std::min(found.size(), matched));
            cards_matched += static_cast<int>(matched);
            cards_upright += upright_cards;
            if (matched > 0 && c.has_upright)
                upright_column = std::to_string(upright_cards) + "/" + std::to_string(matched);
            bool right =
                static_cast<int>(found.size()) == c.count && (truth.empty() || matched == truth.size());
            cards_right += right ? 1 : 0;
            result = right ? "right" : "counted " + std::to_string(found.size());
            error = worst;
        }
        if (c.kind == PhotoCase::Kind::Page && result == "whole" && c.has_upright)
            upright_column = turned_right ? "yes" : "NO";
        // Cards turned right show as "n/n" (of n found).
        const size_t slash = upright_column.find('/');
        const bool upright_wrong =
            upright_column == "NO" || (slash != std::string::npos &&
                                       upright_column.substr(0, slash) != upright_column.substr(slash + 1));
        const bool right_result = result == "whole" || result == "right" || result == "unchanged";
        if (!draw.empty() && (!right_result || error > 0.5 || upright_wrong))
            DrawCase(draw + "/" + c.file, framed.picture, truth, found);
        std::printf("%-28s %-6s %5d %5zu %-11s %9.2f %7s %8.1f %8.1f\n", c.file.c_str(),
                    c.kind == PhotoCase::Kind::Page      ? "page"
                    : c.kind == PhotoCase::Kind::CutPage ? "cut"
                                                         : "cards",
                    c.count, found.size(), result.c_str(), error, upright_column.c_str(), times.back(),
                    cpu_times.back());
    }
    auto worst_of = [](const std::vector<double>& v) {
        return v.empty() ? 0.0 : *std::max_element(v.begin(), v.end());
    };
    std::printf("\n| measure | result |\n|---|---|\n");
    std::printf("| pages wholly in view | %d |\n", pages);
    std::printf("| found whole / too tight / wrong / missed | %d / %d / %d / %d |\n", whole, tight,
                wrong - (cut - cut_unchanged), missed);
    std::printf("| cut pages left unchanged | %d of %d |\n", cut_unchanged, cut);
    std::printf("| wrong objects accepted (all photos): pages, cards | %d, %d |\n", wrong, card_wrong);
    std::printf("| upright turn right (pages found whole that carry print) | %d of %d |\n", upright,
                whole_with_upright);
    std::printf("| upright turn right, those pages turned by 1, 2, 3 quarters (found whole) | %d of %d |\n",
                turned_upright, turned_whole);
    std::printf("| card photos counted right | %d of %d |\n", cards_right, card_photos);
    std::printf("| upright turn right (true cards found that carry print) | %d of %d |\n", cards_upright,
                cards_with_upright);
    std::printf("| page corner error, %% of diagonal | median %.2f, worst %.2f |\n", Median(page_errors),
                worst_of(page_errors));
    std::printf("| card corner error, %% of diagonal | median %.2f, worst %.2f |\n", Median(card_errors),
                worst_of(card_errors));
    std::printf("| time at %dx%d | median %.1f ms, worst %.1f ms |\n", kFrame.width, kFrame.height,
                Median(times), worst_of(times));
    std::printf(
        "| processor time (all threads; less swayed by a busy machine) | median %.1f ms, worst %.1f ms |\n",
        Median(cpu_times), worst_of(cpu_times));
    if (!turned_wrong.empty())
        std::printf("\nturned pages left wrong (photo/quarters):%s\n", turned_wrong.c_str());
    return 0;
}
