// Stream formats and controls of a V4L2 node, against a fake that answers as the UVC driver does.

#include <gtest/gtest.h>

#include "fake_uvc_node.h"
#include "media/capture_graph.h"
#include "media/v4l2_formats.h"

namespace {

using namespace platform;
using Writes = std::vector<std::pair<uint32_t, int32_t>>;

TEST(V4l2Formats, Yuy2SizesAtTheirFullRateAndTheDriversAdjustmentRefuses) {
    FakeUvcNode node = FakeUvcNode::DocumentCamera();
    std::vector<VideoFormat> formats = ListYuy2Formats(node);
    ASSERT_EQ(formats.size(), 3u);
    EXPECT_EQ(formats[0], (VideoFormat{kFourccYuy2, 640, 480, 16, 1, 30}));
    EXPECT_EQ(formats[1], (VideoFormat{kFourccYuy2, 2048, 1536, 16, 1, 4}));
    EXPECT_EQ(formats[2], (VideoFormat{kFourccYuy2, 2592, 1944, 16, 2, 5}));

    EXPECT_TRUE(DriverAcceptsFormat(node, formats[1]));
    EXPECT_FALSE(DriverAcceptsFormat(node, VideoFormat{kFourccYuy2, 1280, 720}));
    EXPECT_EQ(MatchingFormat(formats, VideoFormat{kFourccYuy2, 2592, 1944})->interval_denominator, 5);
    EXPECT_FALSE(MatchingFormat(formats, VideoFormat{kFourccYuy2, 1280, 720}));

    node.pixel_formats = {V4L2_PIX_FMT_MJPEG};
    EXPECT_TRUE(ListYuy2Formats(node).empty());
}

TEST(V4l2Controls, PictureControlsSpeakTheShippedScaleOnAnyDriverRange) {
    FakeUvcNode node = FakeUvcNode::DocumentCamera();  // brightness -64..64, contrast 0..95 (default 32)
    V4l2Controls controls(node);
    ControlRange range;
    ASSERT_EQ(controls.GetRange(VideoProcProperty::Contrast, &range), S_OK);
    EXPECT_EQ(range.min, 0);
    EXPECT_EQ(range.max, 31);
    EXPECT_EQ(range.default_value, 10);  // 32 of 95
    EXPECT_EQ(controls.Set(VideoProcProperty::Contrast, 16, kControlFlagsManual), S_OK);
    EXPECT_EQ(controls.Set(VideoProcProperty::Brightness, 255, kControlFlagsManual), S_OK);
    EXPECT_EQ(controls.Set(VideoProcProperty::Contrast, 500, kControlFlagsManual),
              S_OK);  // clamped, not refused
    EXPECT_EQ(controls.Set(VideoProcProperty::Brightness, 0, kControlFlagsAuto), E_FAIL);
    EXPECT_EQ(node.writes,
              (Writes{{kV4l2CidContrast, 49}, {kV4l2CidBrightness, 64}, {kV4l2CidContrast, 95}}));
    long value = 0, flags = 0;
    controls.Set(VideoProcProperty::Contrast, 16, kControlFlagsManual);
    ASSERT_EQ(controls.Get(VideoProcProperty::Contrast, &value, &flags), S_OK);
    EXPECT_EQ(value, 16) << "the way back gives the value asked";
    EXPECT_EQ(flags, kControlFlagsManual);

    // The shipped camera's own ranges: every value exactly as asked.
    node.controls[kV4l2CidContrast] = {0, 31, 1, 16, 16, {}};
    node.controls[kV4l2CidBrightness] = {0, 255, 1, 128, 128, {}};
    node.writes.clear();
    for (long v : {0L, 1L, 16L, 30L, 31L}) controls.Set(VideoProcProperty::Contrast, v, kControlFlagsManual);
    controls.Set(VideoProcProperty::Brightness, 77, kControlFlagsManual);
    EXPECT_EQ(node.writes, (Writes{{kV4l2CidContrast, 0},
                                   {kV4l2CidContrast, 1},
                                   {kV4l2CidContrast, 16},
                                   {kV4l2CidContrast, 30},
                                   {kV4l2CidContrast, 31},
                                   {kV4l2CidBrightness, 77}}));
}

TEST(V4l2Controls, ConvertingLandsOnTheDriversSteps) {
    EXPECT_EQ(ConvertControlValue(16, {0, 31, 1}, {0, 255, 1}), 132);
    EXPECT_EQ(ConvertControlValue(132, {0, 255, 1}, {0, 31, 1}), 16);
    EXPECT_EQ(ConvertControlValue(31, {0, 31, 1}, {0, 250, 5}), 250);
    EXPECT_EQ(ConvertControlValue(7, {0, 31, 1}, {0, 250, 5}), 55);  // 56.5 -> the nearest step
    EXPECT_EQ(ConvertControlValue(-3, {0, 31, 1}, {0, 255, 1}), 0);
    EXPECT_EQ(ConvertControlValue(5, {0, 1, 1}, {0, 0, 1}), 0) << "a one-value driver range";
}

TEST(V4l2Controls, AutoModesAreSwitchedOffBeforeAbsoluteValues) {
    FakeUvcNode node = FakeUvcNode::DocumentCamera();
    V4l2Controls controls(node);
    EXPECT_EQ(controls.Set(CameraControlProperty::Iris, 400, kControlFlagsManual), S_OK);
    EXPECT_EQ(controls.Set(CameraControlProperty::Focus, 120, kControlFlagsManual), S_OK);
    EXPECT_EQ(node.writes, (Writes{{kV4l2CidExposureAuto, kV4l2ExposureManual},
                                   {kV4l2CidExposureAbsolute, 400},
                                   {kV4l2CidFocusAuto, 0},
                                   {kV4l2CidFocusAbsolute, 120}}));
    long value = 0, flags = 0;
    ASSERT_EQ(controls.Get(CameraControlProperty::Iris, &value, &flags), S_OK);
    EXPECT_EQ(value, 400);
    EXPECT_EQ(flags, kControlFlagsManual);

    node.writes.clear();
    EXPECT_EQ(controls.Set(CameraControlProperty::Iris, 0, kControlFlagsAuto), S_OK);
    EXPECT_EQ(controls.Set(CameraControlProperty::Focus, 0, kControlFlagsAuto), S_OK);
    EXPECT_EQ(node.writes,
              (Writes{{kV4l2CidExposureAuto, kV4l2ExposureAperturePriority}, {kV4l2CidFocusAuto, 1}}));
    ASSERT_EQ(controls.Get(CameraControlProperty::Focus, &value, &flags), S_OK);
    EXPECT_EQ(flags, kControlFlagsAuto);
    ControlRange range;
    ASSERT_EQ(controls.GetRange(CameraControlProperty::Iris, &range), S_OK);
    EXPECT_EQ(range.max, 2047);
    EXPECT_EQ(range.caps_flags, kControlFlagsAuto | kControlFlagsManual);
}

TEST(V4l2Controls, CamerasWithOtherMenusOrOnlyAnIris) {
    FakeUvcNode node = FakeUvcNode::DocumentCamera();
    node.controls[kV4l2CidExposureAuto].menu = {0, 1};  // no aperture priority
    node.controls.erase(kV4l2CidExposureAbsolute);
    node.controls[kV4l2CidIrisAbsolute] = {0, 10, 1, 5, 5, {}};
    node.controls.erase(kV4l2CidFocusAbsolute);
    node.controls.erase(kV4l2CidFocusAuto);
    V4l2Controls controls(node);
    EXPECT_EQ(controls.Set(CameraControlProperty::Iris, 0, kControlFlagsAuto), S_OK);
    EXPECT_EQ(controls.Set(CameraControlProperty::Iris, 7, kControlFlagsManual), S_OK);
    EXPECT_EQ(controls.Set(CameraControlProperty::Iris, 99, kControlFlagsManual), S_OK);  // clamped to 10
    EXPECT_EQ(controls.Set(CameraControlProperty::Focus, 10, kControlFlagsManual), E_FAIL);
    EXPECT_EQ(node.writes, (Writes{{kV4l2CidExposureAuto, kV4l2ExposureAuto},
                                   {kV4l2CidExposureAuto, kV4l2ExposureManual},
                                   {kV4l2CidIrisAbsolute, 7},
                                   {kV4l2CidExposureAuto, kV4l2ExposureManual},
                                   {kV4l2CidIrisAbsolute, 10}}));
    long value = 0, flags = 0;
    EXPECT_EQ(controls.Get(CameraControlProperty::Focus, &value, &flags), E_FAIL);
}

TEST(V4l2Controls, StoredValuesAreSentAgainAfterTheCameraResetsThem) {
    FakeUvcNode node = FakeUvcNode::DocumentCamera();
    V4l2Controls controls(node);
    controls.Set(VideoProcProperty::Contrast, 10, kControlFlagsManual);
    controls.Set(CameraControlProperty::Focus, 50, kControlFlagsManual);
    controls.Set(VideoProcProperty::Contrast, 20, kControlFlagsManual);
    node.ResetToDefaults();
    node.writes.clear();
    controls.Resend();
    // 20 of 31 on the driver's 0..95.
    EXPECT_EQ(node.writes,
              (Writes{{kV4l2CidContrast, 61}, {kV4l2CidFocusAuto, 0}, {kV4l2CidFocusAbsolute, 50}}));
}

}  // namespace
