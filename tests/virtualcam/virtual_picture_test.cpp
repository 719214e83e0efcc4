// The virtual camera's picture as the program sees it: its formats, frames that follow the controls and
// the sensor's orientation registers, and no frames while it is unplugged.
#include "virtualcam/picture/virtual_picture.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "virtualcam/chip/wire_log.h"
#include "virtualcam/scenes/photo_files.h"

namespace {

using virtualcam::VirtualPicture;

struct Picture {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip{log};
    VirtualPicture picture{chip, virtualcam::SceneChoice{}};

    std::vector<uint8_t> Frame() {
        std::vector<uint8_t> frame;
        platform::VideoFormat format;
        EXPECT_TRUE(picture.RenderFrame(frame, format));
        EXPECT_EQ(frame.size(), static_cast<size_t>(format.width) * format.height * 2);
        return frame;
    }
    static double MeanLuma(const std::vector<uint8_t>& frame) {
        double sum = 0;
        for (size_t i = 0; i < frame.size(); i += 2) sum += frame[i];
        return sum / (frame.size() / 2.0);
    }
    // Differences between neighbouring lumas: a sharp picture has more of them.
    static double Detail(const std::vector<uint8_t>& frame) {
        double sum = 0;
        for (size_t i = 2; i < frame.size(); i += 2) sum += std::abs(frame[i] - frame[i - 2]);
        return sum;
    }
};

TEST(VirtualPicture, OffersThreeYuy2FormatsAndDeliversTheChosenOne) {
    Picture p;
    auto formats = p.picture.Capabilities();
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[2].width, 2592);
    EXPECT_EQ(formats[2].interval_numerator * 5, formats[2].interval_denominator);  // 5 frames a second
    EXPECT_FALSE(p.picture.SetFormat({platform::kFourccYuy2, 800, 600, 16, 0, 0}));
    ASSERT_TRUE(p.picture.SetFormat(formats[1]));
    std::vector<uint8_t> frame;
    platform::VideoFormat format;
    ASSERT_TRUE(p.picture.RenderFrame(frame, format));
    EXPECT_EQ(format.width, 2048);
    EXPECT_EQ(frame.size(), 2048u * 1536 * 2);
}

TEST(VirtualPicture, FramesFollowTheControls) {
    Picture p;
    const auto normal = p.Frame();
    ASSERT_EQ(p.picture.Set(platform::VideoProcProperty::Brightness, 220, platform::kControlFlagsManual),
              platform::S_OK);
    EXPECT_GT(Picture::MeanLuma(p.Frame()), Picture::MeanLuma(normal) + 20);
    p.picture.Set(platform::VideoProcProperty::Brightness, 128, platform::kControlFlagsManual);
    p.picture.Set(platform::CameraControlProperty::Focus, 140, platform::kControlFlagsManual);
    EXPECT_LT(Picture::Detail(p.Frame()), Picture::Detail(normal) * 0.8);
    p.picture.Set(platform::CameraControlProperty::Focus, 0, platform::kControlFlagsAuto);
    EXPECT_EQ(p.Frame(), normal);
    EXPECT_EQ(p.picture.ControlLog(),
              (std::vector<std::string>{"brightness 220 manual", "brightness 128 manual", "focus 140 manual",
                                        "focus auto"}));
    EXPECT_NE(p.picture.Set(platform::VideoProcProperty::Contrast, 32, platform::kControlFlagsManual),
              platform::S_OK);
}

TEST(VirtualPicture, SensorRegistersFlipThePicture) {
    Picture p;
    const auto upright = p.Frame();
    const size_t row = 640 * 2;
    p.chip.SetSensorRegister(0x3820, p.chip.SensorRegister(0x3820) ^ 0x06);
    p.chip.SetSensorRegister(0x3821, p.chip.SensorRegister(0x3821) ^ 0x06);
    ASSERT_NE(p.chip.SensorFlipsVertically() || p.chip.SensorMirrorsHorizontally(), false);
    const auto turned = p.Frame();
    // Flipped and mirrored both ways is a half turn: the first pixel's luma is the last one's.
    const bool flip = p.chip.SensorFlipsVertically();
    const bool mirror = p.chip.SensorMirrorsHorizontally();
    for (size_t y : {size_t{0}, size_t{100}, size_t{479}}) {
        for (size_t x : {size_t{0}, size_t{101}, size_t{639}}) {
            size_t from_y = flip ? 479 - y : y;
            size_t from_x = mirror ? 639 - x : x;
            EXPECT_EQ(turned[y * row + x * 2], upright[from_y * row + from_x * 2]) << x << "," << y;
        }
    }
}

TEST(VirtualPicture, UnpluggedGivesNoFrames) {
    Picture p;
    p.picture.SetPlugged(false);
    std::vector<uint8_t> frame;
    platform::VideoFormat format;
    EXPECT_FALSE(p.picture.RenderFrame(frame, format));
    p.picture.SetPlugged(true);
    EXPECT_TRUE(p.picture.RenderFrame(frame, format));
}

}  // namespace

namespace {

// A folder of photographs is shown one after another, fitted whole into every format; a file that is no
// JPEG gives an empty grey desk rather than a failure.
TEST(VirtualPicture, FileSceneShowsTheFolderPicturesInTurn) {
    const std::string folder = std::string(VELLUMO_SOURCE_DIR) + "/tests/data/photos";
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip{log};
    virtualcam::SceneChoice choice = virtualcam::ParseSceneChoice("file:" + folder);
    ASSERT_EQ(choice.kind, virtualcam::SceneChoice::Kind::File);
    VirtualPicture picture{chip, choice};
    auto frame = [&] {
        std::vector<uint8_t> yuy2;
        platform::VideoFormat format;
        EXPECT_TRUE(picture.RenderFrame(yuy2, format));
        return yuy2;
    };
    const size_t count = virtualcam::PictureFiles(folder).size();
    ASSERT_GE(count, 2u);
    std::vector<uint8_t> first = frame();
    picture.NextPicture();
    EXPECT_NE(frame(), first);
    for (size_t i = 1; i < count; ++i) picture.NextPicture();
    EXPECT_EQ(frame(), first);  // round again

    virtualcam::SceneChoice broken = virtualcam::ParseSceneChoice("file:" + folder + "/manifest.txt");
    cv::Mat grey = virtualcam::RenderDocumentScene(broken, cv::Size(640, 480)).picture;
    ASSERT_EQ(grey.size(), cv::Size(640, 480));
    cv::Scalar mean, deviation;
    cv::meanStdDev(grey, mean, deviation);
    EXPECT_EQ(deviation[0], 0);
}

}  // namespace
