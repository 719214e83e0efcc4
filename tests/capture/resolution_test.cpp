// The resolution commands on a bound camera: the graph rebuilt at the new size, then the sensor registers
// (through the virtual camera's bridge) and the exposure properties, in order.
#include "capture/camera_controls.h"
#include "capture/capture_engine.h"
#include "capture/device_discovery.h"
#include "fake_media.h"
#include "tests/device/link_fixture.h"

namespace {

struct Resolution : LinkTest {
    CCaptureRecord record;
    fake::Factory* media = nullptr;
    fake::View view;
    int status_updates = 0;

    void SetUp() override {
        LinkTest::SetUp();
        auto factory = std::make_unique<fake::Factory>();
        media = factory.get();
        media->videos = {{"doc camera", "vid_eb1a&pid_299f", "n"}};
        record.m_engine.m_pMediaFactory = std::move(factory);
        record.m_bStreamB = 0;
        record.m_engine.m_pCaptureView = &view;
        record.m_engine.FindCameraDevice();
        record.m_engine.BindCameraDevices();
        OpenOn(virtualcam::BridgeTransport::Hid);
        media->log.Clear();
    }
    void Select(int index) {
        record.m_engine.SelectPreviewResolution(index, [this] { ++status_updates; });
    }
};

TEST_F(Resolution, ThreeMegapixelsAtPhotoExposureRebuildsThenWritesSensorAndProperties) {
    record.m_nExposureIndex = 2;
    record.m_nExposurePhoto = 45;
    record.m_nFrequency = 1;
    record.m_bDirectionSwitch = 0;
    camera_->Chip().SetSensorRegister(0x3C01, 0x20);
    camera_->Chip().SetSensorRegister(0x3820, 0x40);
    Select(1);
    EXPECT_EQ(media->log.lines,
              (Lines{"stop", "no owner", "remove downstream", "format 2048x1536", "render", "owner",
                     "window 100,0 800x600", "notify 2024", "run", "camera 5=45", "proc 8=0"}));
    EXPECT_EQ(Wire("bus"),
              (Lines{"bus2 write 78: 3c 01", "bus2 read 78 [1]: 20", "bus2 write 78: 3c 01 a0",
                     "bus2 write 78: 3c 00", "bus2 read 78 [1]: 00", "bus2 write 78: 3c 00 04",
                     "bus2 write 78: 3c 0c", "bus2 read 78 [1]: 00", "bus2 write 78: 3c 0c 01",
                     "bus2 write 78: 38 20", "bus2 read 78 [1]: 40", "bus2 write 78: 38 20 46",
                     "bus2 write 78: 38 21", "bus2 read 78 [1]: 00", "bus2 write 78: 38 21 06"}));
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3820), 0x46);
    EXPECT_EQ(record.m_nSetSize, 1);
    EXPECT_EQ(record.m_nSetPreviewSize, 1);
    EXPECT_EQ(record.m_nPreviewWidth, 2048);
    EXPECT_EQ(status_updates, 1);

    // The same size again: no rebuild, nothing sent.
    media->log.Clear();
    Log().Clear();
    Select(1);
    EXPECT_TRUE(media->log.lines.empty());
    EXPECT_TRUE(Wire("bus").empty());
    EXPECT_EQ(status_updates, 2);
}

TEST_F(Resolution, FrequencyModeZeroClearsTwoBitsOfOneRegisterInTwoReadModifyWrites) {
    camera_->Chip().SetSensorRegister(0x3C01, 0xA5);
    ApplyFrequencyMode(0);
    EXPECT_EQ(Wire("bus"),
              (Lines{"bus2 write 78: 3c 01", "bus2 read 78 [1]: a5", "bus2 write 78: 3c 01 25",
                     "bus2 write 78: 3c 01", "bus2 read 78 [1]: 25", "bus2 write 78: 3c 01 05"}));
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3C01), 0x05);

    // A mode outside 0..2 sends nothing; two direction changes restore the picture.
    Log().Clear();
    ApplyFrequencyMode(3);
    EXPECT_TRUE(Wire("bus").empty());
    ApplyOrientationFlip();
    ApplyOrientationFlip();
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3821), 0x00);
}

TEST_F(Resolution, StoredSettingsGoOutInOrderAndAnUnknownExposureIndexCountsAsZero) {
    record.m_nFrequency = 5;
    record.m_bDirectionSwitch = 1;
    record.m_bAutoFocus = 0;
    record.m_nFocus = 77;
    record.m_nExposureIndex = 9;
    record.m_engine.ApplyCameraSettings();
    EXPECT_TRUE(Wire("bus").empty());
    EXPECT_EQ(media->log.lines, (Lines{"camera 6=77", "camera 5=0 auto", "proc 8=0"}));

    media->log.Clear();
    record.m_engine.ApplyExposureMode();  // only 0..3 here
    EXPECT_TRUE(media->log.lines.empty());
}

}  // namespace
