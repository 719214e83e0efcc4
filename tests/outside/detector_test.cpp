// The page and card detectors on synthetic desks with known answers, directly and through the
// libraries' call sequences as the capture worker runs them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <opencv2/imgproc.hpp>
#include <sstream>
#include <string>

#include "outside/common/bmp_source.h"
#include "outside/common/bmp_unpack.h"
#include "outside/common/dib_mat.h"
#include "outside/fasize/card_detector.h"
#include "outside/fasize/card_files.h"
#include "outside/fasize/fasize.h"
#include "outside/kvoasize/kvoasize.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/library/library.h"
#include "support.h"
#include "virtualcam/scenes/desk_scene.h"
#include "virtualcam/scenes/detection_scenes.h"

using namespace outside_test;
using namespace virtualcam;

namespace {

const cv::Scalar kDarkDesk(45, 50, 60), kWoodDesk(70, 110, 150), kLightDesk(170, 175, 180);

double Diagonal(const std::array<cv::Point2d, 4>& c) { return cv::norm(c[2] - c[0]); }

void ExpectCornersNear(const outside::Quad& found, const std::array<cv::Point2d, 4>& truth,
                       double tolerance) {
    for (int i = 0; i < 4; ++i)
        EXPECT_LT(cv::norm(found.corners[i] - truth[i]), tolerance)
            << "corner " << i << " found " << found.corners[i] << " true " << truth[i];
}

struct PageCase {
    double angle;
    double dx, dy;
    cv::Scalar desk;
};

class PageDetectionTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(PageDetectionTest, FindsCornersAndTurnOfTheTurnedShiftedPage) {
    const PageCase& c = GetParam();
    Sheet page{cv::Size(360, 480), cv::Point2d(400 + c.dx, 300 + c.dy), c.angle};
    Scene scene = MakeScene(cv::Size(800, 600), c.desk, {page},
                            static_cast<unsigned>(static_cast<int>(c.angle * 10 + 100)));
    auto found = outside::DetectPage(scene.picture);
    ASSERT_TRUE(found.has_value());
    ExpectCornersNear(*found, scene.corners[0], 0.01 * Diagonal(scene.corners[0]));
    EXPECT_NEAR(outside::QuadAngleDegrees(*found), c.angle, 0.3);
    EXPECT_GT(found->confidence, 0.8);
    cv::Size size = outside::QuadSize(*found);
    EXPECT_NEAR(size.width, 360, 4);
    EXPECT_NEAR(size.height, 480, 4);
}

// "Turn_m11p5_Shift_40_m20_LightDesk": m for a minus sign, p for the decimal point.
std::string PageCaseName(const ::testing::TestParamInfo<PageCase>& info) {
    auto number = [](double value) {
        std::ostringstream text;
        text << value;
        std::string name = text.str();
        for (char& c : name) c = c == '-' ? 'm' : c == '.' ? 'p' : c;
        return name;
    };
    const PageCase& c = info.param;
    const char* desk = c.desk == kDarkDesk ? "DarkDesk" : c.desk == kLightDesk ? "LightDesk" : "WoodDesk";
    return "Turn_" + number(c.angle) + "_Shift_" + number(c.dx) + "_" + number(c.dy) + "_" + desk;
}

INSTANTIATE_TEST_SUITE_P(TurnsShiftsAndDesks, PageDetectionTest,
                         ::testing::Values(PageCase{-15, -60, 10, kDarkDesk},
                                           PageCase{-11.5, 40, -20, kLightDesk},
                                           PageCase{-7, 70, 0, kWoodDesk}, PageCase{-2.2, -30, 25, kDarkDesk},
                                           PageCase{0, 0, 0, kLightDesk}, PageCase{0.4, 90, -30, kWoodDesk},
                                           PageCase{3.7, -80, 20, kLightDesk},
                                           PageCase{8.25, 10, -15, kDarkDesk},
                                           PageCase{12, -40, 0, kWoodDesk}, PageCase{15, 55, 15, kLightDesk}),
                         PageCaseName);

TEST(PageDetection, PagePhotographedAtASlantIsStillFound) {
    Scene flat =
        MakeScene(cv::Size(800, 600), kWoodDesk, {Sheet{cv::Size(360, 480), cv::Point2d(400, 300), 6}}, 5);
    // The camera leans: the far side of the desk looks narrower.
    std::array<cv::Point2f, 4> from = {cv::Point2f(0, 0), cv::Point2f(800, 0), cv::Point2f(800, 600),
                                       cv::Point2f(0, 600)};
    std::array<cv::Point2f, 4> to = {cv::Point2f(60, 10), cv::Point2f(740, 0), cv::Point2f(800, 600),
                                     cv::Point2f(0, 590)};
    cv::Mat lean = cv::getPerspectiveTransform(from.data(), to.data());
    cv::Mat slanted;
    cv::warpPerspective(flat.picture, slanted, lean, flat.picture.size(), cv::INTER_LINEAR,
                        cv::BORDER_REPLICATE);
    std::vector<cv::Point2d> truth(flat.corners[0].begin(), flat.corners[0].end());
    cv::perspectiveTransform(truth, truth, lean);
    auto found = outside::DetectPage(slanted);
    ASSERT_TRUE(found.has_value());
    ExpectCornersNear(*found, {truth[0], truth[1], truth[2], truth[3]}, 0.01 * cv::norm(truth[2] - truth[0]));
}

TEST(PageDetection, EmptyDesksAndRoundThingsHoldNoPage) {
    Scene empty = MakeScene(cv::Size(640, 480), kWoodDesk, {}, 7);
    EXPECT_FALSE(outside::DetectPage(empty.picture).has_value());
    Scene plate = MakeScene(cv::Size(640, 480), kDarkDesk, {}, 8);
    cv::circle(plate.picture, cv::Point(320, 240), 150, cv::Scalar(240, 240, 240), cv::FILLED, cv::LINE_AA);
    EXPECT_FALSE(outside::DetectPage(plate.picture).has_value());
    // A page running off the picture is cut off, not a page to straighten.
    Scene cut =
        MakeScene(cv::Size(640, 480), kDarkDesk, {Sheet{cv::Size(300, 400), cv::Point2d(320, 120), 5}}, 9);
    EXPECT_FALSE(outside::DetectPage(cut.picture).has_value());
}

// The scene's desk inside `mat` replaced by a mat of another tone, with the sheets lying on the mat.
Scene OnAMat(cv::Size size, cv::Scalar desk, cv::Rect mat, cv::Scalar mat_tone,
             const std::vector<Sheet>& sheets) {
    Scene scene = MakeScene(size, desk, {}, 11);
    Scene on_mat = MakeScene(size, mat_tone, sheets, 12);
    on_mat.picture(mat).copyTo(scene.picture(mat));
    scene.corners = on_mat.corners;
    return scene;
}

TEST(PageDetection, PaperOnAMatIsThePageAndAPictureOnThePaperIsNot) {
    Scene mat = OnAMat(cv::Size(960, 720), kDarkDesk, cv::Rect(40, 30, 880, 660), cv::Scalar(120, 120, 120),
                       {Sheet{cv::Size(360, 480), cv::Point2d(480, 360), 6}});
    auto page = outside::DetectPage(mat.picture);
    ASSERT_TRUE(page.has_value());
    ExpectCornersNear(*page, mat.corners[0], 0.01 * Diagonal(mat.corners[0]));

    // A dark photograph printed over the middle of the page, most of its width.
    Scene photo =
        MakeScene(cv::Size(960, 720), kWoodDesk, {Sheet{cv::Size(400, 520), cv::Point2d(480, 360), -4}}, 13);
    std::vector<cv::Point> print;
    cv::Point2d centre = (photo.corners[0][0] + photo.corners[0][2]) * 0.5;
    for (const auto& corner : photo.corners[0]) print.push_back(centre + 0.7 * (corner - centre));
    cv::fillConvexPoly(photo.picture, print, cv::Scalar(60, 70, 80), cv::LINE_AA);
    page = outside::DetectPage(photo.picture);
    ASSERT_TRUE(page.has_value());
    ExpectCornersNear(*page, photo.corners[0], 0.01 * Diagonal(photo.corners[0]));
}

TEST(CardDetection, CardsLyingCloseTogetherOrOnAMatAreCountedOneByOne) {
    // A 2 x 2 block of cards 6 pixels apart: one outline runs round the block, which has a card's shape too.
    std::vector<Sheet> block;
    for (int row = 0; row < 2; ++row)
        for (int column = 0; column < 2; ++column)
            block.push_back(Sheet{cv::Size(270, 162),
                                  cv::Point2d(480 + (column ? 138 : -138), 360 + (row ? 84 : -84)), 0});
    Scene close = MakeScene(cv::Size(960, 720), kDarkDesk, block, 14);
    auto found = outside::DetectCards(close.picture, 100);
    ASSERT_EQ(found.size(), 4u);
    for (size_t i = 0; i < 4; ++i)
        ExpectCornersNear(found[i], close.corners[i], 0.01 * Diagonal(close.corners[i]));

    Scene mat = OnAMat(cv::Size(960, 720), kDarkDesk, cv::Rect(60, 50, 840, 620), cv::Scalar(120, 120, 120),
                       {Sheet{cv::Size(280, 168), cv::Point2d(300, 220), 5},
                        Sheet{cv::Size(280, 168), cv::Point2d(650, 480), -5}});
    found = outside::DetectCards(mat.picture, 100);
    ASSERT_EQ(found.size(), 2u);
    for (size_t i = 0; i < 2; ++i)
        ExpectCornersNear(found[i], mat.corners[i], 0.01 * Diagonal(mat.corners[i]));
}

TEST(CardDetection, CountsAndLocatesOneToFourCards) {
    const std::vector<Sheet> layout = {
        Sheet{cv::Size(280, 168), cv::Point2d(230, 180), -12, cv::Scalar(250, 250, 250)},
        Sheet{cv::Size(270, 160), cv::Point2d(700, 190), 6, cv::Scalar(230, 240, 250)},
        Sheet{cv::Size(290, 170), cv::Point2d(240, 540), 3, cv::Scalar(245, 245, 245)},
        Sheet{cv::Size(260, 150), cv::Point2d(720, 560), -15, cv::Scalar(250, 235, 235)},
    };
    const cv::Scalar desks[] = {kDarkDesk, kWoodDesk, kLightDesk};
    for (size_t count = 1; count <= 4; ++count) {
        SCOPED_TRACE(count);
        std::vector<Sheet> cards(layout.begin(), layout.begin() + static_cast<long>(count));
        Scene scene = MakeScene(cv::Size(960, 720), desks[count % 3], cards, static_cast<unsigned>(count));
        auto found = outside::DetectCards(scene.picture, 100);
        ASSERT_EQ(found.size(), count);
        // Reading order follows the layout: rows top to bottom, left to right.
        for (size_t i = 0; i < count; ++i) {
            ExpectCornersNear(found[i], scene.corners[i], 0.01 * Diagonal(scene.corners[i]));
            EXPECT_NEAR(outside::QuadAngleDegrees(found[i]), cards[i].angle_degrees, 0.3);
        }
        EXPECT_EQ(outside::DetectCards(scene.picture, 1).size(), 1u);
    }
    // A card held close to the lens, more than half the picture, is still one card.
    Scene close_up =
        MakeScene(cv::Size(960, 720), kDarkDesk, {Sheet{cv::Size(800, 480), cv::Point2d(480, 360), 4}}, 5);
    auto large = outside::DetectCards(close_up.picture, 100);
    ASSERT_EQ(large.size(), 1u);
    ExpectCornersNear(large[0], close_up.corners[0], 0.01 * Diagonal(close_up.corners[0]));
    Scene none = MakeScene(cv::Size(960, 720), kWoodDesk, {}, 3);
    EXPECT_TRUE(outside::DetectCards(none.picture, 100).empty());
    // A square sheet is no card.
    Scene square =
        MakeScene(cv::Size(960, 720), kDarkDesk, {Sheet{cv::Size(200, 200), cv::Point2d(480, 360), 4}}, 4);
    EXPECT_TRUE(outside::DetectCards(square.picture, 100).empty());
}

// The libraries as the capture worker calls them.
class DetectorLibraryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        page_library_ = platform::Library::LoadFrom(VELLUMO_BIN_DIR, "KvoASize.dll");
        card_library_ = platform::Library::LoadFrom(VELLUMO_BIN_DIR, "fasize.dll");
        ASSERT_TRUE(page_library_) << page_library_.Error();
        ASSERT_TRUE(card_library_) << card_library_.Error();
    }

    void SaveScene(const Scene& scene, const std::string& path) {
        auto bmp = outside::EncodeBgrAsBmp(scene.picture, 11811, 11811);
        ASSERT_TRUE(bmp.has_value());
        ASSERT_TRUE(WriteText(path, *bmp));
    }

    // DetectDocument's sequence; returns status and job as seen.
    std::pair<int, bool> RunPageDetector(const std::string& path) {
        auto init = page_library_.Get<KVOASIZE_HANDLE (*)(int)>("kvoASize_Init");
        auto orientation = page_library_.Get<void (*)(KVOASIZE_HANDLE, int)>("kvoASize_SetOrientation");
        auto start = page_library_.Get<KVOASIZE_JOB (*)(KVOASIZE_HANDLE, int, const char*, int, int, int*)>(
            "kvoASize_StartA");
        auto save = page_library_.Get<void (*)(KVOASIZE_HANDLE, int, KVOASIZE_JOB, const char*, int)>(
            "kvoASize_SaveImageA");
        auto end = page_library_.Get<void (*)(KVOASIZE_JOB)>("kvoASize_End");
        auto clear = page_library_.Get<void (*)(KVOASIZE_HANDLE)>("kvoASize_Clear");
        EXPECT_TRUE(init && orientation && start && save && end && clear);
        KVOASIZE_HANDLE handle = init(1);
        EXPECT_NE(handle, nullptr);
        int status = 1;
        KVOASIZE_JOB job = nullptr;
        if (handle != nullptr) {
            orientation(handle, 0);
            job = start(handle, 4, path.c_str(), 0, 0, &status);
            if (status == 0 && job != nullptr) save(handle, 4, job, path.c_str(), 0);
            end(job);
        }
        clear(handle);
        return {status, job != nullptr};
    }

    std::pair<int, bool> RunCardDetector(const std::string& path) {
        auto init = card_library_.Get<KVOFASIZE_HANDLE (*)(int, int)>("kvoFASize_Init");
        auto orientation = card_library_.Get<void (*)(KVOFASIZE_HANDLE, int)>("kvoFASize_SetOrientation");
        auto start = card_library_.Get<KVOFASIZE_JOB (*)(KVOFASIZE_HANDLE, const char*, int, int*)>(
            "kvoFASize_StartA");
        auto save = card_library_.Get<void (*)(KVOFASIZE_HANDLE, KVOFASIZE_JOB, const char*, int)>(
            "kvoFASize_SaveImageA");
        auto end = card_library_.Get<void (*)(KVOFASIZE_JOB)>("kvoFASize_End");
        auto clear = card_library_.Get<void (*)(KVOFASIZE_HANDLE)>("kvoFASize_Clear");
        EXPECT_TRUE(init && orientation && start && save && end && clear);
        KVOFASIZE_HANDLE handle = init(100, 1);
        int status = 1;
        KVOFASIZE_JOB job = nullptr;
        if (handle != nullptr) {
            orientation(handle, 0);
            job = start(handle, path.c_str(), 0, &status);
            if (status == 0 && job != nullptr) save(handle, job, path.c_str(), 0);
            end(job);
        }
        clear(handle);
        return {status, job != nullptr};
    }

    test_support::ScratchFolder folder_;
    platform::Library page_library_, card_library_;
};

// Share of pixels in a border ring of the picture that are paper-bright.
double BrightBorderShare(const cv::Mat& bgr, int ring) {
    cv::Mat grey;
    cv::cvtColor(bgr, grey, cv::COLOR_BGR2GRAY);
    cv::Mat mask(grey.size(), CV_8U, cv::Scalar(255));
    mask(cv::Rect(ring, ring, grey.cols - 2 * ring, grey.rows - 2 * ring)).setTo(0);
    cv::Mat bright = (grey > 200) & mask;
    return cv::countNonZero(bright) / static_cast<double>(cv::countNonZero(mask));
}

TEST_F(DetectorLibraryTest, PageIsWrittenUprightAtItsSizeWithTheSourceResolution) {
    std::string path = folder_.Path("Kvo~Vellumo.bmp");
    SaveScene(
        MakeScene(cv::Size(800, 600), kDarkDesk, {Sheet{cv::Size(360, 480), cv::Point2d(380, 310), 9}}, 11),
        path);
    auto [status, job] = RunPageDetector(path);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(job);
    auto result = outside::LoadBmp(path, "test");
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(result->view.bits_per_pixel, 24);
    EXPECT_NEAR(result->view.width, 360, 4);
    EXPECT_NEAR(result->view.height, 480, 4);
    EXPECT_EQ(result->view.x_pixels_per_meter, 11811);
    EXPECT_EQ(result->view.y_pixels_per_meter, 11811);
    // Straightened and cut just inside the edge: the border is paper all round, even its outermost pixels.
    cv::Mat page = outside::DibToBgr(result->view);
    EXPECT_GT(BrightBorderShare(page, 1), 0.99);
    EXPECT_GT(BrightBorderShare(page, 3), 0.99);
}

TEST_F(DetectorLibraryTest, NoPageOrBadFileLeavesThePictureAlone) {
    std::string path = folder_.Path("empty.bmp");
    SaveScene(MakeScene(cv::Size(640, 480), kLightDesk, {}, 12), path);
    std::string before = ReadAll(path);
    auto [status, job] = RunPageDetector(path);
    EXPECT_EQ(status, kKvoASizeNotFound);
    EXPECT_FALSE(job);
    EXPECT_EQ(ReadAll(path), before);

    std::string text = folder_.Path("text.bmp");
    WriteText(text, "not a picture");
    EXPECT_EQ(RunPageDetector(text).first, kKvoASizeBadPicture);
    EXPECT_EQ(ReadAll(text), "not a picture");
    EXPECT_EQ(RunPageDetector(folder_.Path("missing.bmp")).first, kKvoASizeBadPicture);
    EXPECT_EQ(RunCardDetector(text).first, kKvoFASizeBadPicture);
    EXPECT_FALSE(Exists(folder_.Path("text.txt")));

    // Handles of 0 are harmless everywhere the sequence may pass them.
    int status_word = 1;
    EXPECT_EQ(kvoASize_StartA(nullptr, 4, path.c_str(), 0, 0, &status_word), nullptr);
    EXPECT_EQ(status_word, kKvoASizeBadArgument);
    kvoASize_End(nullptr);
    kvoASize_Clear(nullptr);
    kvoFASize_End(nullptr);
    kvoFASize_Clear(nullptr);
}

int CountNoLines(const std::string& list_bytes) {
    std::string narrow;
    for (size_t i = 2; i + 1 < list_bytes.size(); i += 2)
        narrow += list_bytes[i + 1] == 0 ? list_bytes[i] : '?';
    int count = 0;
    for (size_t at = narrow.find("No="); at != std::string::npos; at = narrow.find("No=", at + 1)) ++count;
    return count;
}

TEST_F(DetectorLibraryTest, SeveralCardsGoToNumberedFilesWithAList) {
    std::string path = folder_.Path("Kvo~Vellumo.bmp");
    SaveScene(MakeScene(cv::Size(960, 720), kWoodDesk,
                        {Sheet{cv::Size(280, 168), cv::Point2d(240, 200), 7},
                         Sheet{cv::Size(270, 160), cv::Point2d(690, 210), -4},
                         Sheet{cv::Size(290, 170), cv::Point2d(450, 540), 0}},
                        21),
              path);
    std::string before = ReadAll(path);
    auto [status, job] = RunCardDetector(path);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadAll(path), before);
    const cv::Size sizes[] = {{280, 168}, {270, 160}, {290, 170}};
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        auto card = outside::LoadBmp(outside::CardFilePath(path, i), "test");
        ASSERT_TRUE(card.has_value());
        EXPECT_NEAR(card->view.width, sizes[i - 1].width, 4);
        EXPECT_NEAR(card->view.height, sizes[i - 1].height, 4);
        EXPECT_EQ(card->view.x_pixels_per_meter, 11811);
    }
    EXPECT_FALSE(Exists(outside::CardFilePath(path, 4)));
    std::string list = ReadAll(folder_.Path("Kvo~Vellumo.txt"));
    EXPECT_EQ(list.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(CountNoLines(list), 3);
}

TEST_F(DetectorLibraryTest, ACardFileThatCannotBeWrittenUndoesTheOthers) {
    std::string path = folder_.Path("Kvo~Vellumo.bmp");
    SaveScene(MakeScene(cv::Size(960, 720), kDarkDesk,
                        {Sheet{cv::Size(280, 168), cv::Point2d(240, 200), 2},
                         Sheet{cv::Size(270, 160), cv::Point2d(690, 210), -3}},
                        22),
              path);
    // A folder standing where the second card file would go.
    std::filesystem::create_directory(outside::CardFilePath(path, 2));
    EXPECT_EQ(RunCardDetector(path).first, 0);
    EXPECT_FALSE(Exists(outside::CardFilePath(path, 1)));
    EXPECT_FALSE(Exists(folder_.Path("Kvo~Vellumo.txt")));
}

TEST_F(DetectorLibraryTest, OneCardReplacesThePictureAndNoCardWritesNothing) {
    std::string path = folder_.Path("card.bmp");
    SaveScene(
        MakeScene(cv::Size(640, 480), kDarkDesk, {Sheet{cv::Size(300, 180), cv::Point2d(330, 250), -10}}, 31),
        path);
    EXPECT_EQ(RunCardDetector(path).first, 0);
    auto card = outside::LoadBmp(path, "test");
    ASSERT_TRUE(card.has_value());
    EXPECT_NEAR(card->view.width, 300, 4);
    EXPECT_NEAR(card->view.height, 180, 4);
    EXPECT_EQ(CountNoLines(ReadAll(folder_.Path("card.txt"))), 1);
    EXPECT_FALSE(Exists(folder_.Path("card0001.bmp")));

    std::string empty = folder_.Path("empty.bmp");
    SaveScene(MakeScene(cv::Size(640, 480), kDarkDesk, {}, 32), empty);
    std::string before = ReadAll(empty);
    folder_.Write("empty.txt",
                  outside::CardListText({outside::CardEntry{1, empty, 0, 0, 9, 9, 0}}));  // an old run's
    auto [status, job] = RunCardDetector(empty);
    EXPECT_EQ(status, kKvoFASizeNotFound);
    EXPECT_FALSE(job);
    EXPECT_EQ(ReadAll(empty), before);
    EXPECT_FALSE(Exists(folder_.Path("empty.txt"))) << "a stale list is never counted for this picture";
}

// The scene set of hard desks: each scene's pages or cards found, counted exactly, upright, with corners
// within a quarter of a percent of the diagonal and under a tenth of a degree of skew left; scenes with
// nothing to find give nothing. Drawn at the camera's size,
// which the accuracy goals are set for (at half the size the detectors' working copies lose detail).
class SceneSetTest : public ::testing::TestWithParam<std::string> {};

cv::Point2d Middle(const std::array<cv::Point2d, 4>& c) { return (c[0] + c[1] + c[2] + c[3]) * 0.25; }

TEST_P(SceneSetTest, FindsEverySheetUprightAndNothingElse) {
    DetectionCase c = MakeDetectionCase(GetParam(), cv::Size(2592, 1944));
    ASSERT_EQ(c.name, GetParam());
    std::vector<outside::Quad> found;
    if (c.kind == DetectionCase::Kind::Page) {
        if (auto page = outside::DetectPage(c.scene.picture)) found.push_back(*page);
    } else {
        found = outside::DetectCards(c.scene.picture, 100);
    }
    ASSERT_EQ(found.size(), c.scene.corners.size());
    for (const auto& truth : c.scene.corners) {
        auto near =
            std::min_element(found.begin(), found.end(), [&](const outside::Quad& a, const outside::Quad& b) {
                return cv::norm(Middle(a.corners) - Middle(truth)) <
                       cv::norm(Middle(b.corners) - Middle(truth));
            });
        // Corner by corner in the sheet's own upright order: a wrong turn misses by a side's length.
        ExpectCornersNear(*near, truth, 0.0025 * Diagonal(truth));
        cv::Point2d top = near->corners[1] - near->corners[0], true_top = truth[1] - truth[0];
        double skew = std::remainder(
            (std::atan2(top.y, top.x) - std::atan2(true_top.y, true_top.x)) * 180 / CV_PI, 360.0);
        EXPECT_LT(std::abs(skew), 0.1);
    }
    if (c.kind == DetectionCase::Kind::Page && !found.empty()) {
        EXPECT_GE(found[0].confidence, outside::kPageConfidenceNeeded);
    }
}

INSTANTIATE_TEST_SUITE_P(HardDesks, SceneSetTest, ::testing::ValuesIn(DetectionCaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& ch : name) ch = ch == '-' ? '_' : ch;
                             return name;
                         });

TEST(PageDetection, ABlankPageKeepsTheSmallestTurn) {
    // No print to read: turned by 50 degrees, the page comes out turned back by -40 (lying sideways).
    Sheet blank{cv::Size(300, 420), cv::Point2d(400, 300), 50};
    blank.print = [](cv::Mat&) {};
    Scene scene = MakeScene(cv::Size(800, 600), kDarkDesk, {blank}, 41);
    auto found = outside::DetectPage(scene.picture);
    ASSERT_TRUE(found.has_value());
    EXPECT_NEAR(outside::QuadAngleDegrees(*found), -40, 0.3);
    ExpectCornersNear(*found, outside::OrderCorners(scene.corners[0]), 0.005 * Diagonal(scene.corners[0]));
}

// RLE8 and top-down files read as the same pixels as the plain file.
TEST(BmpReading, TopDownAndRle8FilesReadAsThePlainPicture) {
    Scene scene =
        MakeScene(cv::Size(203, 97), kWoodDesk, {Sheet{cv::Size(90, 60), cv::Point2d(100, 48), 7}}, 51);
    auto read = [](const std::string& file) {
        std::vector<uint8_t> bytes(file.begin(), file.end());
        auto view = platform::ParseBmp(bytes);
        std::optional<std::vector<uint8_t>> plain;
        if (!view) {
            plain = outside::UnpackBmp(bytes);
            if (!plain) return cv::Mat();
            bytes = *plain;
            view = platform::ParseBmp(bytes);
        }
        return view ? outside::DibToBgr(*view) : cv::Mat();
    };
    cv::Mat top_down = read(EncodeBmpAs(scene.picture, DetectionCase::Storage::TopDown24));
    ASSERT_FALSE(top_down.empty());
    EXPECT_EQ(cv::norm(top_down, scene.picture, cv::NORM_INF), 0);
    cv::Mat grey, grey_bgr;
    cv::cvtColor(scene.picture, grey, cv::COLOR_BGR2GRAY);
    cv::cvtColor(grey, grey_bgr, cv::COLOR_GRAY2BGR);
    cv::Mat rle = read(EncodeBmpAs(scene.picture, DetectionCase::Storage::Rle8));
    ASSERT_FALSE(rle.empty());
    EXPECT_EQ(cv::norm(rle, grey_bgr, cv::NORM_INF), 0);
    // Plain files are not rewritten.
    std::string plain = EncodeBmpAs(scene.picture, DetectionCase::Storage::BottomUp24);
    EXPECT_FALSE(outside::UnpackBmp(std::vector<uint8_t>(plain.begin(), plain.end())).has_value());
}

// A hand-made 5 x 3 RLE8 picture using every code: a run, a delta, an absolute stretch of odd length, an
// early end of line and the end of the picture; skipped pixels are index 0.
TEST(BmpReading, Rle8CodesAndBrokenData) {
    const uint8_t codes[] = {2, 7, 0, 2, 1, 1,
                             0, 3, 4, 5, 6, 0,  // row 0: 7 7, delta to (3, 1); row 1: 4 5 6 at x 3
                             0, 0,              // end of row 1
                             1, 9, 0, 1};       // row 2: 9, end of picture
    std::string file(54 + 1024, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(file.data());
    platform::WriteBmpFileHeader(bytes, static_cast<uint32_t>(file.size() + sizeof codes), 54 + 1024);
    platform::WriteDibInfoHeader(bytes + 14, 5, 3, 8, sizeof codes, 0, 0, 256);
    platform::WriteLe32(bytes + 30, 1);
    platform::WriteDibPalette(bytes + 54, platform::GreyPalette());
    file.append(reinterpret_cast<const char*>(codes), sizeof codes);
    auto plain = outside::UnpackBmp(std::vector<uint8_t>(file.begin(), file.end()));
    ASSERT_TRUE(plain.has_value());
    auto view = platform::ParseBmp(*plain);
    ASSERT_TRUE(view.has_value());
    ASSERT_EQ(view->width, 5);
    ASSERT_EQ(view->height, 3);
    const uint8_t expected[3][5] = {{7, 7, 0, 0, 0}, {0, 0, 0, 4, 5}, {9, 0, 0, 0, 0}};  // bottom row first
    // Row 1 holds 4 5 at x 3 and 4; the 6 runs past the width and is dropped.
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(view->Row(y)[x], expected[y][x]) << x << "," << y;
    // An absolute stretch running past the data is refused, not read beyond the file.
    std::string broken = file.substr(0, file.size() - sizeof codes) + std::string("\0\x09\x01\x02", 4);
    EXPECT_FALSE(outside::UnpackBmp(std::vector<uint8_t>(broken.begin(), broken.end())).has_value());
}

}  // namespace
