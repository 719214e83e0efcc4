// A still capture from the grabbed frame to the saved file, driven the way the grabber does it: the busy
// flag set, then SaveFrameToTemp with a frame; the worker and the threads it starts run for real over the
// outside detectors and writers, and the outputs are opened by independent tools.
#include "pipeline/capture/capture_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <opencv2/core/utility.hpp>
#include <sstream>
#include <thread>

#include "outside/common/dib_mat.h"
#include "outside/kvoasize/page_detector.h"
#include "platform/dib/dib.h"
#include "platform/files/files.h"
#include "settings/settings.h"
#include "tests/outside/support.h"
#include "tests/support/preview_frames.h"
#include "tests/support/recording_message_target.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"
#include "virtualcam/scenes/desk_scene.h"
#include "virtualcam/scenes/document_scenes.h"
#include "virtualcam/scenes/page_stack.h"

namespace {

using namespace pipeline;
using outside_test::Quote;
using outside_test::Shell;
using test_support::Exists;
using test_support::ScopedEnv;
using test_support::ScratchFolder;
using test_support::WaitUntil;

size_t Stride(int width) { return (static_cast<size_t>(width) * 3 + 3) / 4 * 4; }

// A bottom-up 24-bit frame as the grabber delivers it.
struct Frame {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0;
    CaptureFrame View() const { return CaptureFrame{bytes.data(), bytes.size(), width, height}; }
    // Blue, green, red of the pixel at (x, y counted from the top).
    const uint8_t* At(int x, int top_y) const {
        return bytes.data() + Stride(width) * (height - 1 - top_y) + 3 * x;
    }
};

// Every pixel tells where it is: blue = x, green = y (low bytes), red = the high bits of both.
Frame PatternFrame(int width, int height) {
    Frame f{std::vector<uint8_t>(Stride(width) * height), width, height};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = const_cast<uint8_t*>(f.At(x, y));
            p[0] = static_cast<uint8_t>(x), p[1] = static_cast<uint8_t>(y);
            p[2] = static_cast<uint8_t>((x >> 8) << 4 | (y >> 8));
        }
    return f;
}

Frame SceneFrame(const cv::Mat& bgr) {
    Frame f{std::vector<uint8_t>(Stride(bgr.cols) * bgr.rows), bgr.cols, bgr.rows};
    for (int y = 0; y < bgr.rows; ++y)
        std::memcpy(const_cast<uint8_t*>(f.At(0, y)), bgr.ptr(y), 3 * static_cast<size_t>(bgr.cols));
    return f;
}

struct Bmp {
    std::vector<uint8_t> bytes;
    platform::DibView view;
    // Blue, green, red of (x, y counted from the top) of a 24-bit picture.
    const uint8_t* At(int x, int top_y) const { return view.Row(view.height - 1 - top_y) + 3 * x; }
};

std::optional<Bmp> ReadBmp(const std::string& path) {
    Bmp bmp;
    const std::string text = outside_test::ReadAll(path);
    bmp.bytes.assign(text.begin(), text.end());
    auto view = platform::ParseBmp(bmp.bytes);
    if (!view) return std::nullopt;
    bmp.view = *view;
    return bmp;
}

bool SamePixel(const uint8_t* a, const uint8_t* b) { return std::equal(a, a + 3, b); }

// The images of a PDF as "page:widthxheight", by pdfimages, once qpdf has checked the file.
std::vector<std::string> PdfImages(const std::string& pdf) {
    int status = -1;
    Shell("qpdf --check " + Quote(pdf) + " >/dev/null 2>&1", &status);
    if (status != 0) return {"qpdf refuses " + pdf};
    std::istringstream listing(Shell("pdfimages -list " + Quote(pdf)));
    std::string line;
    std::vector<std::string> images;
    for (int i = 0; std::getline(listing, line); ++i) {
        if (i < 2) continue;  // the header lines
        std::istringstream fields(line);
        std::string page, number, type, width, height;
        fields >> page >> number >> type >> width >> height;
        images.push_back(page + ":" + width + "x" + height);
    }
    return images;
}

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (auto& entry : std::filesystem::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

class StillCapture : public ::testing::Test {
  protected:
    StillCapture() : tmp_env_("XDG_RUNTIME_DIR", dir_.MakeFolder("run")) {
        // The detectors' image work stays on the worker's thread: OpenCV's own pool is not instrumented
        // for the thread sanitizer.
        cv::setNumThreads(0);
        settings_.m_szSavePath = dir_.Slash() + "save/";
        settings_.m_szPrefix = "cap";
        settings_.m_nOutputMode = 2;  // colour kept
        g_nImageFormat = 0;
        session_ = std::make_unique<CaptureSession>(CaptureFlags{grab_, ocr_, card_, busy_});
        session_->m_pFrameTarget = &frame_;
    }

    // What the capture command hands the session: the settings as they are now, and the area.
    void Prepare(const ViewRect& selection = {}, const ViewRect& video = {}) {
        CaptureRequest request =
            MakeCaptureRequest(settings_, g_nImageFormat.load(), session_->m_nHandOverTarget);
        request.selection = selection;
        request.video = video;
        session_->PrepareCapture(std::move(request));
    }
    // As auto-capture hands over the frame it kept, with the page outline found on it; true when the
    // capture ended within the bound.
    bool CaptureKept(std::shared_ptr<const platform::PreviewFrame> kept,
                     const std::optional<PageOutline>& outline = std::nullopt, const ViewRect& selection = {},
                     const ViewRect& video = {}) {
        const size_t done = frame_.Count(platform::WM_CAPTUREDONE);
        busy_ = 1;
        Prepare(selection, video);
        session_->SaveKeptFrame(std::move(kept), outline);
        const bool ended =
            WaitUntil([&] { return busy_ == 0 && frame_.Count(platform::WM_CAPTUREDONE) == done + 1; });
        session_->WaitIdle();
        return ended;
    }
    // As the grabber hands over the frame asked for.
    void Deliver(const Frame& frame) {
        grab_ = 0;
        session_->SaveFrameToTemp(frame.View());
    }

    // One capture; true when it ended (busy clear, the frame told) within the bound. Without `prepared`
    // the request is made from the settings as they are.
    bool Capture(const Frame& frame, bool ocr = false, bool card = false, bool prepared = false) {
        const size_t done = frame_.Count(platform::WM_CAPTUREDONE);
        ocr_ = ocr ? 1 : 0;
        card_ = card ? 1 : 0;
        busy_ = 1;
        if (!prepared) Prepare();
        Deliver(frame);
        const bool ended =
            WaitUntil([&] { return busy_ == 0 && frame_.Count(platform::WM_CAPTUREDONE) == done + 1; });
        session_->WaitIdle();
        return ended;
    }
    std::string Saved(const std::string& name) const { return settings_.m_szSavePath + name; }
    std::vector<std::string> SavedFiles() const { return Names(settings_.m_szSavePath); }
    std::vector<std::string> TempFiles() const { return Names(dir_.Path("run/Vellumo")); }

    ScratchFolder dir_;
    ScopedEnv tmp_env_;
    CVellumoSettings settings_;
    std::atomic<uint8_t> grab_{0}, ocr_{0}, card_{0}, busy_{0};
    RecordingMessageTarget frame_;
    std::unique_ptr<CaptureSession> session_;
};

TEST_F(StillCapture, EachFormatIsWrittenUnderTheNextNumberAndOpensInItsOwnTool) {
    settings_.m_bContinuousFile = 1;
    std::atomic<int> continued{0};
    session_->m_dialogs.continue_capture = [&] { ++continued; };
    const Frame frame = PatternFrame(640, 480);

    g_nImageFormat = 1;
    ASSERT_TRUE(Capture(frame));
    ASSERT_TRUE(Capture(frame));
    EXPECT_EQ(continued, 2);
    int status = -1;
    for (const char* name : {"cap0001.jpg", "cap0002.jpg"}) {
        const std::string pnm = Shell("djpeg -pnm " + Quote(Saved(name)) + " 2>&1", &status);
        EXPECT_EQ(status, 0) << name;
        EXPECT_EQ(pnm.rfind("P6\n640 480\n", 0), 0u) << name;
    }

    g_nImageFormat = 3;
    ASSERT_TRUE(Capture(frame));
    const std::string tiff = Shell("tiffinfo " + Quote(Saved("cap0001.tif")) + " 2>&1", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(tiff.find("Image Width: 640 Image Length: 480"), std::string::npos) << tiff;

    g_nImageFormat = 4;
    ASSERT_TRUE(Capture(frame));
    EXPECT_EQ(PdfImages(Saved("cap0001.pdf")), std::vector<std::string>{"1:640x480"});

    g_nImageFormat = 0;
    ASSERT_TRUE(Capture(frame));
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->view.width, 640);
    EXPECT_EQ(bmp->view.x_pixels_per_meter, 2154);
    EXPECT_TRUE(SamePixel(bmp->At(600, 7), frame.At(600, 7)));

    EXPECT_EQ(continued, 5);
    EXPECT_EQ(session_->PagesKept(), 5u);  // what auto-capture's counter counts
    EXPECT_EQ(SavedFiles(), (std::vector<std::string>{"cap0001.bmp", "cap0001.jpg", "cap0001.pdf",
                                                      "cap0001.tif", "cap0002.jpg"}));
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(StillCapture, AKeptPreviewFrameIsWrittenAsTheGrabbedFrameWouldBe) {
    const Frame frame = PatternFrame(640, 480);
    // The preview's layout: B,G,R,x top-down, here with rows padded beyond the pixels.
    auto kept = std::make_shared<platform::PreviewFrame>();
    kept->width = 640;
    kept->height = 480;
    kept->stride = 4 * 640 + 16;
    kept->pixels.assign(static_cast<size_t>(kept->stride) * 480, 0x55);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            std::memcpy(&kept->pixels[static_cast<size_t>(y) * kept->stride + 4 * x], frame.At(x, y), 3);
    auto capture = [&](std::shared_ptr<const platform::PreviewFrame> given) { return CaptureKept(given); };
    ASSERT_TRUE(capture(kept));
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->view.width, 640);
    EXPECT_EQ(bmp->view.height, 480);
    for (auto [x, y] : {std::pair{0, 0}, {639, 0}, {300, 257}, {0, 479}, {639, 479}})
        EXPECT_TRUE(SamePixel(bmp->At(x, y), frame.At(x, y))) << x << "," << y;

    // A frame shorter than its rows say ends the capture without a picture; the next one is not held up.
    auto torn = std::make_shared<platform::PreviewFrame>(*kept);
    torn->pixels.resize(torn->pixels.size() / 2);
    ASSERT_TRUE(capture(torn));
    EXPECT_EQ(SavedFiles(), std::vector<std::string>{"cap0001.bmp"});
    ASSERT_TRUE(capture(kept));
    EXPECT_TRUE(Exists(Saved("cap0002.bmp")));
}

TEST_F(StillCapture, AHandsFreePageIsCutAlongTheOutlineFoundOnItsFrameRefittedThereNotSoughtAgain) {
    settings_.m_bAutoDeskew = 1;
    // A letter of the page stack lying upside down, and its outline as the live outline finds it on the
    // frame's 320-pixel copy, in the frame's pixels.
    const cv::Size size(2048, 1536);
    cv::Mat scene = virtualcam::RenderStackScene(6, size).picture;
    cv::rotate(scene, scene, cv::ROTATE_180);
    const double scale = 320.0 / size.width;
    cv::Mat small;
    cv::resize(scene, small, cv::Size(), scale, scale, cv::INTER_AREA);
    const std::optional<outside::Quad> found = outside::FindPageOutline(small);
    ASSERT_TRUE(found);
    PageOutline outline;
    for (size_t i = 0; i < 4; ++i) outline[i] = {found->corners[i].x / scale, found->corners[i].y / scale};
    const auto kept = test_support::PreviewFrameOf(scene, 1);
    auto picture = [&](const char* name) {
        auto bmp = ReadBmp(Saved(name));
        return bmp ? outside::DibToBgr(bmp->view) : cv::Mat();
    };

    // The same frame grabbed by a manual capture: the page is sought over the whole frame.
    ASSERT_TRUE(Capture(SceneFrame(scene)));
    const cv::Mat searched = picture("cap0001.bmp");
    ASSERT_EQ(virtualcam::MatchStackPage(searched, size).page, 6);
    // Along the outline, its sides refitted on the full frame: the same cut, and it reads upright; also
    // when each side lies a pixel of the small copy outside the page.
    PageOutline wide = outline;
    const double off = 1 / scale;
    for (size_t i = 0; i < 4; ++i)
        wide[i] = {outline[i].x + (i == 0 || i == 3 ? -off : off), outline[i].y + (i < 2 ? -off : off)};
    ASSERT_TRUE(CaptureKept(kept, wide));
    const cv::Mat cut = picture("cap0002.bmp");
    EXPECT_NEAR(cut.cols, searched.cols, 3);
    EXPECT_NEAR(cut.rows, searched.rows, 3);
    EXPECT_EQ(virtualcam::MatchStackPage(cut, size).page, 6);

    // The outline handed over is what is cut along: one well inside the page stays there.
    PageOutline inner = outline;
    const PagePoint middle{(outline[0].x + outline[2].x) / 2, (outline[0].y + outline[2].y) / 2};
    for (PagePoint& p : inner) p = {middle.x + 0.7 * (p.x - middle.x), middle.y + 0.7 * (p.y - middle.y)};
    ASSERT_TRUE(CaptureKept(kept, inner));
    const cv::Mat inside = picture("cap0003.bmp");
    EXPECT_NEAR(inside.cols, 0.7 * searched.cols, 0.04 * searched.cols);
    EXPECT_NEAR(inside.rows, 0.7 * searched.rows, 0.04 * searched.rows);

    // An outline that is no page's in the frame leaves the page to the full search.
    PageOutline stray = outline;
    for (PagePoint& p : stray) p.x += size.width;
    ASSERT_TRUE(CaptureKept(kept, stray));
    const cv::Mat searched_again = picture("cap0004.bmp");
    EXPECT_EQ(searched_again.size(), searched.size());

    // A capture area drawn goes first, as in a manual capture: no whole page lies in this one, so it is
    // written as it is.
    ASSERT_TRUE(CaptureKept(kept, outline, ViewRect{0, 0, 256, 192}, ViewRect{0, 0, 1024, 768}));
    EXPECT_EQ(picture("cap0005.bmp").size(), cv::Size(512, 384));
}

TEST_F(StillCapture, TheCaptureAreaIsWrittenAloneAndNarrowAreasWidenTo24Pixels) {
    settings_.m_nScaleMode = 1;  // an area is never reshaped to a page
    const Frame frame = PatternFrame(640, 480);
    // The view shows the frame at half size: 5 view pixels are 10 frame pixels.
    Prepare(ViewRect{50, 20, 55, 120}, ViewRect{0, 0, 320, 240});
    ASSERT_TRUE(Capture(frame, false, false, /*prepared=*/true));
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    EXPECT_EQ(bmp->view.width, 24);
    EXPECT_EQ(bmp->view.height, 200);
    EXPECT_EQ(bmp->view.stride, 72u);
    EXPECT_EQ(bmp->bytes.size(), 54u + 72u * 200u);
    EXPECT_TRUE(SamePixel(bmp->At(0, 0), frame.At(100, 40)));
    EXPECT_TRUE(SamePixel(bmp->At(23, 199), frame.At(123, 239)));
}

TEST_F(StillCapture, WithoutDeskewAFullFrameIsPlacedOnAnASeriesPage) {
    settings_.m_nScaleMode = 1;
    const Frame frame = PatternFrame(2592, 1944);
    ASSERT_TRUE(Capture(frame));
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->view.width, 2597);
    ASSERT_EQ(bmp->view.height, 1835);
    EXPECT_EQ(bmp->view.x_pixels_per_meter, 8727);
    const uint8_t white[3] = {0xFF, 0xFF, 0xFF};
    for (int y : {0, 917, 1834}) {
        for (int x : {0, 1, 2594, 2595, 2596}) EXPECT_TRUE(SamePixel(bmp->At(x, y), white)) << x << "," << y;
        // 54 rows are cropped at the bottom, 55 at the top.
        EXPECT_TRUE(SamePixel(bmp->At(2, y), frame.At(0, y + 55))) << y;
        EXPECT_TRUE(SamePixel(bmp->At(2593, y), frame.At(2591, y + 55))) << y;
    }
}

TEST_F(StillCapture, RotationFileTurnsPicturesAndRotationTurnsTextCaptures) {
    settings_.m_nRotationFile = 1;
    settings_.m_nRotation = 0;
    const Frame frame = PatternFrame(64, 48);
    std::mutex mutex;
    std::optional<Bmp> handed;
    std::string handed_path;
    session_->m_handOver.run_ocr = [&](const CaptureRequest&, const std::string& picture) {
        std::lock_guard lock(mutex);
        handed_path = picture;
        handed = ReadBmp(picture);
        return HandOverResult::Succeeded();
    };

    ASSERT_TRUE(Capture(frame));
    auto turned = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(turned);
    ASSERT_EQ(turned->view.width, 48);
    ASSERT_EQ(turned->view.height, 64);
    // Clockwise: the frame's bottom-left corner comes to the top left.
    EXPECT_TRUE(SamePixel(turned->At(0, 0), frame.At(0, 47)));
    EXPECT_TRUE(SamePixel(turned->At(47, 0), frame.At(0, 0)));

    settings_.m_nOutputMode = 0;  // black and white, but never for text recognition
    ASSERT_TRUE(Capture(frame, /*ocr=*/true));
    std::lock_guard lock(mutex);
    ASSERT_TRUE(handed) << "run_ocr was not given a readable picture";
    EXPECT_EQ(handed->view.width, 64);
    EXPECT_EQ(handed->view.bits_per_pixel, 24);
    EXPECT_TRUE(SamePixel(handed->At(10, 5), frame.At(10, 5)));
    EXPECT_FALSE(Exists(handed_path)) << "the handed-over page stays behind";
    EXPECT_EQ(ocr_, 0);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(StillCapture, GatheredPagesMakeOnePdfInCaptureOrder) {
    g_nImageFormat = 2;
    settings_.m_bPdfOption = 1;
    const Frame frame = PatternFrame(640, 480);
    std::atomic<int> shown{0};
    const ViewRect video{0, 0, 640, 480};
    // The dialog's "next page" button: the capture command and the frame it asks for, on the dialog's thread.
    std::atomic<int> shown_during_capture{0};
    session_->m_dialogs.transform = [&] {
        const int n = ++shown;
        // Its capture button would start the next capture: this one must have ended already.
        if (busy_ != 0 || frame_.Count(platform::WM_CAPTUREDONE) != static_cast<size_t>(n))
            ++shown_during_capture;
        if (n >= 3) return;
        Prepare(ViewRect{0, 0, 100 * (n + 1), 200}, video);
        busy_ = 1;
        Deliver(frame);
    };
    Prepare(ViewRect{0, 0, 100, 200}, video);
    busy_ = 1;
    Deliver(frame);
    ASSERT_TRUE(WaitUntil([&] { return shown == 3; }));
    session_->WaitIdle();
    EXPECT_EQ(shown_during_capture, 0);
    EXPECT_EQ(busy_, 0);
    EXPECT_EQ(frame_.Count(platform::WM_CAPTUREDONE), 3u);

    ASSERT_EQ(session_->m_pages.Count(), 3);
    std::vector<std::string> pages;
    for (auto path : session_->m_pages.Paths()) pages.emplace_back(path);
    for (const std::string& page : pages) EXPECT_TRUE(Exists(page)) << page;

    grab_ = 1;
    std::vector<std::pair<unsigned long, unsigned long>> progress;
    ASSERT_TRUE(session_->MakeGatheredPdf(
        [&](unsigned long total, unsigned long done) { progress.emplace_back(total, done); }));
    EXPECT_EQ(grab_, 0);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(3ul, 3ul));
    EXPECT_EQ(PdfImages(Saved("cap0001.pdf")),
              (std::vector<std::string>{"1:100x200", "2:200x200", "3:300x200"}));
    for (const std::string& page : pages) EXPECT_FALSE(Exists(page)) << page;
    EXPECT_EQ(session_->m_pages.Count(), 0);
    EXPECT_EQ(SavedFiles(), std::vector<std::string>{"cap0001.pdf"});
}

TEST_F(StillCapture, ADeskewedPageIsUprightAndCentredOnItsPage) {
    settings_.m_bAutoDeskew = 1;
    settings_.m_nScaleMode = 1;
    const virtualcam::Scene scene =
        virtualcam::RenderDocumentScene(virtualcam::SceneChoice{}, cv::Size(2592, 1944));
    ASSERT_TRUE(Capture(SceneFrame(scene.picture)));
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    ASSERT_EQ(bmp->view.width, 2597);
    ASSERT_EQ(bmp->view.height, 1835);
    // The page (about 1210 x 1710) lies in the middle: white margins wide enough to show the desk was cut
    // away, and the page's printed text in the middle.
    const uint8_t white[3] = {0xFF, 0xFF, 0xFF};
    for (int y = 0; y < 1835; y += 61) {
        EXPECT_TRUE(SamePixel(bmp->At(600, y), white)) << y;
        EXPECT_TRUE(SamePixel(bmp->At(1996, y), white)) << y;
    }
    int dark = 0;
    for (int y = 300; y < 1500; ++y)
        for (int x = 800; x < 1800; x += 3) dark += bmp->At(x, y)[1] < 100 ? 1 : 0;
    EXPECT_GT(dark, 1000);
}

TEST_F(StillCapture, SeveralCardsGoToTheCardProgramEachInItsOwnFile) {
    settings_.m_bAutoDeskew = 1;
    session_->m_nHandOverTarget = 1;
    std::vector<std::pair<std::string, int>> received;  // path, picture width
    session_->m_handOver.send_to_card_program = [&](const CaptureRequest&, const PageFileList& pages) {
        for (auto path : pages.Paths()) {
            auto bmp = ReadBmp(std::string(path));
            received.emplace_back(std::string(path), bmp ? bmp->view.width : 0);
        }
        return HandOverResult::Succeeded();
    };
    // Plain white cards, each turned a little, on a dark desk.
    const cv::Size card(460, 284);
    const virtualcam::Scene scene =
        virtualcam::MakeScene(cv::Size(1280, 960), cv::Scalar(60, 70, 80),
                              {{card, {360, 270}, 4}, {card, {920, 290}, -3}, {card, {370, 690}, 2}}, 7);
    ASSERT_TRUE(Capture(SceneFrame(scene.picture), /*ocr=*/true, /*card=*/true));
    session_->WaitIdle();
    ASSERT_EQ(received.size(), 3u) << ::testing::PrintToString(received);
    for (auto& [path, width] : received) {
        EXPECT_GT(width, 400) << path;  // a straightened card, not the desk
        EXPECT_LT(width, 600) << path;
        EXPECT_FALSE(Exists(path)) << path;
    }
    EXPECT_NE(received[0].first, received[1].first);
    EXPECT_EQ(ocr_, 0);
    EXPECT_EQ(card_, 0);
    EXPECT_TRUE(TempFiles().empty()) << "card list or pictures left in the temp folder";

    // A series: the cards wait under names of their own, the whole desk picture is noted for the finish.
    settings_.m_bCardContinuous = 1;
    received.clear();
    ASSERT_TRUE(Capture(SceneFrame(scene.picture), /*ocr=*/true, /*card=*/true));
    EXPECT_TRUE(received.empty());
    EXPECT_EQ(session_->m_pages.Count(), 3);
    EXPECT_EQ(TempFiles().size(), 5u);  // the three cards, the desk picture and its note
    session_->FinishOcrSeries();
    EXPECT_EQ(received.size(), 3u);
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(session_->m_nHandOverTarget, 0);
}

TEST_F(StillCapture, ASeriesOfTextPagesIsHandedOverTogetherAtTheFinish) {
    settings_.m_nOcrFormat = 0;
    settings_.m_bOcrOnePerFormat[0] = 1;
    settings_.m_bContinuousCapture = 1;
    std::atomic<int> shown{0};
    session_->m_dialogs.ocr_transform = [&] { ++shown; };
    std::vector<std::string> widths;
    session_->m_handOver.run_ocr_on_pages = [&](const CaptureRequest&, const PageFileList& pages) {
        for (auto path : pages.Paths()) {
            auto bmp = ReadBmp(std::string(path));
            widths.push_back(bmp ? std::to_string(bmp->view.width) : "unreadable");
        }
        return HandOverResult::Succeeded();
    };
    ASSERT_TRUE(Capture(PatternFrame(64, 48), /*ocr=*/true));
    ASSERT_TRUE(Capture(PatternFrame(80, 48), /*ocr=*/true));
    EXPECT_EQ(shown, 2);
    std::vector<std::string> pages;
    for (auto path : session_->m_pages.Paths()) pages.emplace_back(path);
    ASSERT_EQ(pages.size(), 2u);

    session_->FinishOcrSeries();
    EXPECT_EQ(widths, (std::vector<std::string>{"64", "80"}));
    for (const std::string& page : pages) EXPECT_FALSE(Exists(page)) << page;
    EXPECT_EQ(session_->m_pages.Count(), 0);
}

TEST_F(StillCapture, AFrameThatCannotBeWrittenEndsTheCaptureAtOnce) {
    ScopedEnv no_temp("XDG_RUNTIME_DIR", dir_.Write("not-a-folder", "x"));
    ScopedEnv no_cache("XDG_CACHE_HOME", dir_.Path("not-a-folder"));
    std::atomic<int> shown{0};
    session_->m_dialogs.continue_capture = [&] { ++shown; };
    std::vector<std::string> told;
    session_->m_reportUnwritten = [&](const std::string& reason) { told.push_back(reason); };
    settings_.m_bContinuousFile = 1;
    g_nImageFormat = 1;
    ASSERT_TRUE(Capture(PatternFrame(64, 48)));
    EXPECT_EQ(shown, 0) << "a worker ran without its picture";
    EXPECT_TRUE(SavedFiles().empty());
    EXPECT_EQ(session_->PagesKept(), 0u);
    // The person is told once, with the reason.
    EXPECT_EQ(told, (std::vector<std::string>{"there is no private temporary folder"}));
    // The next capture starts from what its own command sets.
    ASSERT_TRUE(Capture(PatternFrame(64, 48), /*ocr=*/true, /*card=*/true));
    EXPECT_EQ(ocr_, 0);
    EXPECT_EQ(card_, 0);
}

TEST_F(StillCapture, APictureThatCannotBeSavedIsKeptAndReported) {
    settings_.m_szSavePath = dir_.Write("file", "x") + "/save/";  // a folder that cannot be made
    std::vector<std::pair<std::string, std::string>> reports;
    session_->m_reportUnsaved = [&](const std::string& output, const std::string& kept) {
        reports.emplace_back(output, kept);
    };
    const Frame frame = PatternFrame(64, 48);
    for (int format : {1, 4}) {
        g_nImageFormat = format;
        ASSERT_TRUE(Capture(frame));
    }
    ASSERT_EQ(reports.size(), 2u);
    for (auto& [output, kept] : reports) {
        EXPECT_EQ(output.rfind(settings_.m_szSavePath, 0), 0u) << output;
        auto bmp = ReadBmp(kept);
        ASSERT_TRUE(bmp) << kept;
        EXPECT_TRUE(SamePixel(bmp->At(5, 5), frame.At(5, 5)));
    }
    EXPECT_NE(reports[0].second, reports[1].second);
    EXPECT_EQ(session_->m_pages.Count(), 1);  // the PDF's page waits for another try
    EXPECT_EQ(session_->PagesKept(), 0u);     // kept aside is not saved: auto-capture does not count it
}

// A small file system of its own, to fill up; nothing when this machine does not let the test mount one.
struct SmallDisk {
    std::string path;
    bool mounted = false;
    SmallDisk(const std::string& folder, int kilobytes) : path(folder) {
        std::filesystem::create_directories(path);
        mounted = ::geteuid() == 0 && std::system(("mount -t tmpfs -o size=" + std::to_string(kilobytes) +
                                                   "k tmpfs " + Quote(path) + " 2>/dev/null")
                                                      .c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted) std::system(("umount " + Quote(path)).c_str());
    }
};

TEST_F(StillCapture, AFailedHandOverKeepsEveryPictureInTheSaveFolderAndSaysSoOnce) {
    std::vector<std::pair<std::string, std::vector<std::string>>> reports;
    session_->m_reportHandOver = [&](const std::string& problem, const std::vector<std::string>& kept) {
        reports.emplace_back(problem, kept);
    };
    session_->m_handOver.run_ocr = [](const CaptureRequest&, const std::string&) {
        return HandOverResult::Fail("the OCR engine stopped unexpectedly");
    };
    const Frame frame = PatternFrame(64, 48);
    ASSERT_TRUE(Capture(frame, /*ocr=*/true));
    session_->WaitIdle();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].first, "the OCR engine stopped unexpectedly");
    EXPECT_EQ(reports[0].second, std::vector<std::string>{Saved("cap0001.bmp")});
    auto bmp = ReadBmp(Saved("cap0001.bmp"));
    ASSERT_TRUE(bmp);
    EXPECT_TRUE(SamePixel(bmp->At(5, 5), frame.At(5, 5)));
    EXPECT_TRUE(TempFiles().empty());

    // Several cards the card program never took: each card kept, one message for all of them.
    reports.clear();
    settings_.m_bAutoDeskew = 1;
    session_->m_nHandOverTarget = 1;
    session_->m_handOver.send_to_card_program = [](const CaptureRequest&, const PageFileList&) {
        return HandOverResult::Fail("the business-card program did not take the cards");
    };
    const cv::Size card(460, 284);
    const virtualcam::Scene scene = virtualcam::MakeScene(cv::Size(1280, 960), cv::Scalar(60, 70, 80),
                                                          {{card, {360, 270}, 4}, {card, {920, 290}, -3}}, 7);
    ASSERT_TRUE(Capture(SceneFrame(scene.picture), /*ocr=*/true, /*card=*/true));
    session_->WaitIdle();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].second, (std::vector<std::string>{Saved("cap0002.bmp"), Saved("cap0003.bmp")}));
    for (const std::string& kept : reports[0].second) EXPECT_TRUE(ReadBmp(kept)) << kept;
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(StillCapture, FilesPlantedByAnotherUserInTheSharedTempFolderChangeNothing) {
    // The shared temp folder another user can write to: a link under the capture file's name leading to a
    // file of ours, and a card-series list naming it for deletion.
    const std::string shared = dir_.MakeFolder("shared");
    ScopedEnv tmpdir("TMPDIR", shared);
    const std::string victim = dir_.Write("victim.txt", "precious");
    std::filesystem::create_symlink(victim, shared + "/Kvo~Vellumo.bmp");
    dir_.Write("shared/Doc-BCR-Temp.tmp", victim + "\r\n");
    ASSERT_EQ(::lchown((shared + "/Kvo~Vellumo.bmp").c_str(), 65534, 65534), 0);
    // Even a list inside our own folder may only name what is ours there.
    dir_.Write("run/Vellumo/Doc-BCR-Temp.tmp",
               victim + "\r\n" + dir_.Path("run/Vellumo/../../victim.txt") + "\r\n");

    settings_.m_bAutoDeskew = 1;
    settings_.m_bCardContinuous = 1;
    session_->m_nHandOverTarget = 1;
    session_->m_handOver.send_to_card_program = [](const CaptureRequest&, const PageFileList&) {
        return HandOverResult::Succeeded();
    };
    const cv::Size card(460, 284);
    const virtualcam::Scene scene = virtualcam::MakeScene(cv::Size(1280, 960), cv::Scalar(60, 70, 80),
                                                          {{card, {360, 270}, 4}, {card, {920, 290}, -3}}, 7);
    ASSERT_TRUE(Capture(SceneFrame(scene.picture), /*ocr=*/true, /*card=*/true));
    session_->FinishOcrSeries();
    EXPECT_EQ(outside_test::ReadAll(victim), "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(shared + "/Kvo~Vellumo.bmp"));
    EXPECT_TRUE(Exists(shared + "/Doc-BCR-Temp.tmp"));
    EXPECT_TRUE(TempFiles().empty());
    struct stat st {};
    ASSERT_EQ(::stat(dir_.Path("run/Vellumo").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u) << "the private folder is open to others";
}

TEST_F(StillCapture, AGrabRequestThatGetsNoFrameIsGivenUpAndTold) {
    std::atomic<int> told{0};
    session_->m_reportNoFrame = [&] { ++told; };
    session_->m_grabBound = std::chrono::milliseconds(300);
    ocr_ = 1;
    busy_ = 1;
    Prepare();
    grab_ = 1;  // set last, as the command does; no frame ever comes
    ASSERT_TRUE(WaitUntil([&] { return busy_ == 0 && told == 1; }));
    EXPECT_EQ(grab_, 0);
    EXPECT_EQ(ocr_, 0);
    EXPECT_EQ(frame_.Count(platform::WM_CAPTUREDONE), 1u);

    // A frame in time keeps its capture, however long the worker then takes.
    g_nImageFormat = 1;
    ASSERT_TRUE(Capture(PatternFrame(64, 48)));
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(SavedFiles(), std::vector<std::string>{"cap0001.jpg"});

    // A stream just restarted at the capture size is given longer for its first frame.
    session_->m_restartAllowance = std::chrono::minutes(5);
    CaptureRequest request = MakeCaptureRequest(settings_, g_nImageFormat.load(), 0);
    request.stream_restarted = true;
    session_->PrepareCapture(std::move(request));
    grab_ = 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));  // past the bound without the allowance
    ASSERT_TRUE(Capture(PatternFrame(64, 48), false, false, /*prepared=*/true));
    EXPECT_EQ(told, 1);
    EXPECT_EQ(SavedFiles(), (std::vector<std::string>{"cap0001.jpg", "cap0002.jpg"}));
}

TEST_F(StillCapture, ANumberTakenBetweenTheChoiceAndTheWriteIsNeverReplaced) {
    const std::string folder = dir_.MakeFolder("out");
    const std::string wanted = folder + "/cap0001.jpg", next = folder + "/cap0002.jpg";
    // Another program writes the chosen name while the writer is busy.
    const auto written = PublishUnderFreeName(
        wanted,
        [&](const std::string& path) {
            dir_.Write("out/cap0001.jpg", "someone else's");
            return platform::WriteFileReplacing(path, "ours");
        },
        [&] { return next; });
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, next);
    EXPECT_EQ(outside_test::ReadAll(wanted), "someone else's");
    EXPECT_EQ(outside_test::ReadAll(next), "ours");
    EXPECT_EQ(Names(folder), (std::vector<std::string>{"cap0001.jpg", "cap0002.jpg"}))
        << "a hidden file is left";
}

TEST_F(StillCapture, AFullDiskLeavesNoHalfFileAndKeepsThePictures) {
    SmallDisk disk(dir_.Path("small"), 96);
    if (!disk.mounted) GTEST_SKIP() << "no small file system can be mounted here (needs root)";
    settings_.m_szSavePath = disk.path + "/";
    std::vector<std::string> kept;
    session_->m_reportUnsaved = [&](const std::string&, const std::string& picture) {
        kept.push_back(picture);
    };
    // Noise: 900 KB as a picture, and no smaller than the disk as a JPEG either.
    Frame frame = PatternFrame(640, 480);
    uint32_t seed = 7;
    for (uint8_t& byte : frame.bytes)
        byte = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    for (int format : {0, 1, 3}) {
        g_nImageFormat = format;
        ASSERT_TRUE(Capture(frame));
    }
    EXPECT_TRUE(Names(disk.path).empty()) << ::testing::PrintToString(Names(disk.path));
    ASSERT_EQ(kept.size(), 3u);
    for (const std::string& picture : kept) EXPECT_TRUE(ReadBmp(picture)) << picture;

    // Gathered pages: the document is not written, the pages stay listed and on disk for another try.
    g_nImageFormat = 2;
    settings_.m_bPdfOption = 1;
    session_->m_dialogs.transform = [] {};
    ASSERT_TRUE(Capture(frame));
    ASSERT_TRUE(Capture(frame));
    EXPECT_FALSE(session_->MakeGatheredPdf({}));
    EXPECT_EQ(session_->m_pages.Count(), 2);
    for (auto page : session_->m_pages.Paths()) EXPECT_TRUE(Exists(std::string(page)));
    EXPECT_TRUE(Names(disk.path).empty());
}

}  // namespace
