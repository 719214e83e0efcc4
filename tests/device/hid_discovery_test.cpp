// Finding the bridge's HID interface among others, and the records discovery builds.

#include "device/hid/hid_discovery.h"

#include <cstring>

#include "link_fixture.h"

using virtualcam::BridgeTransport;
using virtualcam::HidDecoy;

namespace {

using HidDiscoveryTest = LinkTest;

TEST_F(HidDiscoveryTest, BridgeIsChosenAfterDecoysAndOnlyItIsOpened) {
    virtualcam::VirtualCameraConfig config;
    config.hid_decoys = {HidDecoy::Keyboard, HidDecoy::Unexaminable, HidDecoy::CommandOnly, HidDecoy::Mouse};
    auto& camera = Use(config);
    int handle = devctl::HidOpenBridge();
    ASSERT_NE(handle, devctl::kNoHidHandle);
    EXPECT_EQ(Wire("hid"), Lines{"open virtual:hidraw4"});
    EXPECT_EQ(camera.OpenHidHandles(), 1);

    // The unexaminable interface is skipped, the others are listed in enumeration order.
    devctl::HidDeviceList list;
    ASSERT_TRUE(devctl::DiscoverHidDevices(list));
    ASSERT_EQ(list.Size(), 4u);
    EXPECT_EQ(list[0].devicePath, "virtual:hidraw0");
    EXPECT_EQ(list[1].devicePath, "virtual:hidraw2");
    EXPECT_FALSE(devctl::IsBridgeInterface(list[1]));
    EXPECT_TRUE(devctl::IsBridgeInterface(list[3]));
    EXPECT_EQ(list[3].attributes.vendor_id, virtualcam::kVendorId);
    devctl::HidCloseBridge(handle);
    EXPECT_EQ(camera.OpenHidHandles(), 0);
}

TEST_F(HidDiscoveryTest, OnlyTheCamerasOwnInterfaceWithBothReportsIsEverChosen) {
    virtualcam::VirtualCameraConfig config;
    config.transport = BridgeTransport::KsCapture;  // no bridge HID interface at all
    // Only the command report; the whole layout under another maker's identity.
    config.hid_decoys = {HidDecoy::CommandOnly, HidDecoy::ForeignBridge, HidDecoy::CommandOnly};
    Use(config);
    EXPECT_EQ(devctl::HidOpenBridge(), devctl::kNoHidHandle);
    EXPECT_TRUE(Wire("hid").empty());
}

TEST_F(HidDiscoveryTest, ListGrowsPastEightAndExaminesEveryInterface) {
    virtualcam::VirtualCameraConfig config;
    config.hid_decoys.assign(11, HidDecoy::Keyboard);
    Use(config);
    devctl::HidDeviceList list;
    EXPECT_EQ(list.Capacity(), 8u);
    ASSERT_TRUE(devctl::DiscoverHidDevices(list));
    EXPECT_EQ(list.Size(), 12u);
    EXPECT_EQ(list.Capacity(), 16u);
    EXPECT_EQ(list[8].devicePath, "virtual:hidraw8");
    EXPECT_EQ(list[11].devicePath, "virtual:hidraw11");
    EXPECT_NE(devctl::HidOpenBridge(), devctl::kNoHidHandle);
    EXPECT_EQ(Wire("hid"), Lines{"open virtual:hidraw11"});
}

TEST_F(HidDiscoveryTest, RecordsHoldBuffersCapabilitiesAndDataLists) {
    virtualcam::VirtualCameraConfig config;
    config.hid_decoys = {HidDecoy::Keyboard};
    Use(config);
    ::setenv("VELLUMO_DEBUG", "1", 1);
    testing::internal::CaptureStderr();
    devctl::HidDeviceList list;
    ASSERT_TRUE(devctl::DiscoverHidDevices(list));
    std::string debug = testing::internal::GetCapturedStderr();
    ::unsetenv("VELLUMO_DEBUG");
    ASSERT_EQ(list.Size(), 2u);

    const devctl::HidDeviceRecord& keyboard = list[0];
    const devctl::HidReportInfo& input = keyboard.reports[0];
    EXPECT_EQ(input.reportBuffer, std::vector<uint8_t>(9, 0));
    ASSERT_EQ(input.data.size(), 2u);  // two button capabilities, no values
    EXPECT_TRUE(input.data[0].isButtonData);
    EXPECT_EQ(input.data[0].usagePage, 0x07);
    EXPECT_EQ(input.data[0].usageMin, 0xE0u);
    EXPECT_EQ(input.data[0].usageMax, 0xE7u);
    EXPECT_EQ(input.data[0].maxUsageLength, 14u);
    EXPECT_EQ(input.data[0].usages.size(), 14u);
    EXPECT_EQ(input.data[0].status, devctl::kHidpStatusSuccess);
    EXPECT_EQ(keyboard.reports[1].reportBuffer.size(), 2u);
    EXPECT_TRUE(keyboard.feature().data.empty());

    const devctl::HidDeviceRecord& bridge = list[1];
    ASSERT_EQ(bridge.feature().data.size(), 2u);
    EXPECT_FALSE(bridge.feature().data[0].isButtonData);
    EXPECT_EQ(bridge.feature().data[0].reportId, 0x87u);
    EXPECT_EQ(bridge.feature().data[1].reportId, 0x93u);
    EXPECT_EQ(bridge.feature().data[1].usage, 3);
    EXPECT_EQ(bridge.feature().reportBuffer.size(), 41u);

    // Two lines per interface: the keyboard's feature count is 0, the bridge's 2.
    EXPECT_NE(debug.find("[hid] FillDeviceInfo numValues step1: 0\n[hid] FillDeviceInfo numValues step2: 0"),
              std::string::npos);
    EXPECT_NE(debug.find("[hid] FillDeviceInfo numValues step1: 2\n[hid] FillDeviceInfo numValues step2: 2"),
              std::string::npos);
}

TEST_F(HidDiscoveryTest, GetFeatureReturnsExactlyThePayloadAndLeavesTheDestinationOnFailure) {
    Use(BridgeTransport::Hid);
    int handle = devctl::HidOpenBridge();
    ASSERT_NE(handle, devctl::kNoHidHandle);
    uint8_t command[4] = {0x00, 0x0A, 0x01, 0x00};
    ASSERT_TRUE(devctl::HidSetFeature(handle, 0x87, command, 4));
    uint8_t dest[41];
    std::memset(dest, 0xEE, sizeof dest);
    ASSERT_TRUE(devctl::HidGetFeature(handle, 0x93, dest, 40));
    EXPECT_EQ(dest[0], 0x51);
    EXPECT_EQ(dest[1], 0x00);
    EXPECT_EQ(dest[39], 0x00);
    EXPECT_EQ(dest[40], 0xEE);  // nothing beyond the 40 bytes

    // A data get with no command before it fails on the device: the destination keeps its bytes.
    std::memset(dest, 0xEE, sizeof dest);
    EXPECT_FALSE(devctl::HidGetFeature(handle, 0x93, dest, 40));
    EXPECT_EQ(dest[0], 0xEE);
    uint8_t big[65] = {};
    EXPECT_FALSE(devctl::HidSetFeature(handle, 0x93, big, 65));
    EXPECT_FALSE(devctl::HidSetFeature(devctl::kNoHidHandle, 0x87, command, 4));
    devctl::HidCloseBridge(handle);
}

}  // namespace
