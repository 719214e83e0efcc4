// The virtual bridge chip and its host interfaces, checked on their own so that the protocol tests
// can rely on them.

#include <gtest/gtest.h>
#include <linux/usb/video.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "virtualcam/virtual_camera.h"

namespace {

using Lines = std::vector<std::string>;

TEST(BridgeChip, BusesCarryTheirOwnDevicesAndReportMissingAcknowledge) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    uint8_t sub[2] = {0x3C, 0x01};
    uint8_t out[2] = {};
    ASSERT_TRUE(chip.BusWrite(0x78, sub, 2));  // secondary bus after reset: the sensor answers
    ASSERT_TRUE(chip.BusRead(0x79, out, 2));   // the read address works too; the pointer advances
    EXPECT_EQ(out[0], 0x34);
    EXPECT_EQ(out[1], 0x00);
    EXPECT_EQ(chip.ReadRegister(5, 1) & 0x10, 0u);

    EXPECT_FALSE(chip.BusWrite(0xA0, sub, 2));  // the EEPROM is on the primary bus
    EXPECT_EQ(chip.ReadRegister(5, 1) & 0x10, 0x10u);
    chip.WriteRegister(6, 1, 0x00);
    uint8_t eeprom_sub[2] = {0x00, 0x00};
    ASSERT_TRUE(chip.BusWrite(0xA0, eeprom_sub, 2));
    ASSERT_TRUE(chip.BusRead(0xA0, out, 2));
    EXPECT_EQ(out[0], 0x1A);
    EXPECT_EQ(out[1], 0xEB);
    EXPECT_EQ(chip.ReadRegister(5, 1) & 0x10, 0u);
    EXPECT_FALSE(chip.BusRead(0x78, out, 1));

    EXPECT_EQ(log.Channel("bus"),
              (Lines{"bus2 write 78: 3c 01", "bus2 read 79 [2]: 34 00", "bus2 write a0: 3c 01 nack",
                     "bus1 write a0: 00 00", "bus1 read a0 [2]: 1a eb", "bus1 read 78 [1] nack"}));
}

TEST(BridgeChip, SensorWritesAutoIncrementAndOrientationFollowsItsRegisters) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    EXPECT_FALSE(chip.SensorFlipsVertically());
    const uint8_t write[4] = {0x38, 0x20, 0x46, 0x06};
    ASSERT_TRUE(chip.BusWrite(0x78, write, 4));
    EXPECT_EQ(chip.SensorRegister(0x3820), 0x46);
    EXPECT_EQ(chip.SensorRegister(0x3821), 0x06);
    EXPECT_TRUE(chip.SensorFlipsVertically());
    EXPECT_TRUE(chip.SensorMirrorsHorizontally());
}

TEST(BridgeChip, FocusStatusIsBusyForAWhileAfterARequest) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    chip.SetFocusTime(std::chrono::milliseconds(80));
    EXPECT_EQ(chip.ReadRegister(0xC4, 1), 1u);
    chip.WriteRegister(0xC4, 1, 5);  // only a 0 starts focusing
    EXPECT_EQ(chip.ReadRegister(0xC4, 1), 1u);
    chip.WriteRegister(0xC4, 1, 0);
    EXPECT_EQ(chip.ReadRegister(0xC4, 1), 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    EXPECT_EQ(chip.ReadRegister(0xC4, 1), 1u);
    chip.WriteRegister(0x20, 4, 0x11223344);
    EXPECT_EQ(chip.ReadRegister(0x21, 2), 0x2233u);
}

TEST(HidEndpoint, DataReportsNeedAMatchingCommandAndExactLengths) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    virtualcam::HidEndpoint hid(chip, log);
    uint8_t data[41] = {0x93};
    EXPECT_FALSE(hid.GetFeature(data, sizeof data));  // no command yet
    uint8_t command[5] = {0x87, 0x00, 0x0A, 0x01, 0x00};
    EXPECT_FALSE(hid.SetFeature(command, 4));  // command report is 4 payload bytes
    ASSERT_TRUE(hid.SetFeature(command, 5));
    EXPECT_FALSE(hid.GetFeature(data, 40));  // data report is 40 payload bytes
    ASSERT_TRUE(hid.SetFeature(command, 5));
    ASSERT_TRUE(hid.GetFeature(data, sizeof data));
    EXPECT_EQ(data[1], 0x51);
    EXPECT_FALSE(hid.GetFeature(data, sizeof data));  // one data phase per command

    uint8_t write_command[5] = {0x87, 0x01};
    uint8_t write_data[41] = {0x93, 0x30, 0x02, 0xCD, 0xAB, 0xFF};
    ASSERT_TRUE(hid.SetFeature(write_command, 5));
    ASSERT_TRUE(hid.SetFeature(write_data, 41));
    EXPECT_EQ(chip.ReadRegister(0x30, 4), 0xABCDu);  // only the low width bytes are written
}

TEST(XuEndpoint, SetsMustMatchTheLengthSelector) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    virtualcam::XuEndpoint xu(chip, log);
    uint8_t len[2] = {};
    ASSERT_EQ(xu.Query(virtualcam::kExtensionUnitId, 5, UVC_GET_LEN, 2, len), 0);
    EXPECT_EQ(len[0] | len[1] << 8, 131);
    EXPECT_NE(xu.Query(virtualcam::kExtensionUnitId, 6, UVC_GET_LEN, 2, len), 0);
    EXPECT_NE(xu.Query(3, 1, UVC_GET_LEN, 2, len), 0);

    uint8_t control[6] = {0x40, 0x02, 0x34, 0x12};
    EXPECT_NE(xu.Query(virtualcam::kExtensionUnitId, 3, UVC_SET_CUR, 6, control),
              0);  // selector 1 still says 1
    uint8_t four = 4;
    uint8_t one_byte[1] = {four};
    ASSERT_EQ(xu.Query(virtualcam::kExtensionUnitId, 1, UVC_SET_CUR, 1, one_byte), 0);
    EXPECT_NE(xu.Query(virtualcam::kExtensionUnitId, 3, UVC_SET_CUR, 4, control),
              0);  // must be the whole control
    ASSERT_EQ(xu.Query(virtualcam::kExtensionUnitId, 3, UVC_SET_CUR, 6, control), 0);
    EXPECT_EQ(chip.ReadRegister(0x40, 2), 0x1234u);
    EXPECT_EQ(xu.LengthSelector(), 4);
}

TEST(KsEndpoints, OnlyTheirOwnPropertySetIsAnswered) {
    virtualcam::WireLog log;
    virtualcam::BridgeChip chip(log);
    virtualcam::KsCaptureEndpoint capture(chip, log);
    virtualcam::KsReceiverEndpoint receiver(chip, log);
    uint8_t buffer[104] = {};
    std::memcpy(buffer, virtualcam::kReceiverBridgePropertySet.bytes, 16);
    buffer[16] = 0x36;
    buffer[17] = 0x10;
    buffer[20] = 1;     // get
    buffer[24] = 0xFF;  // bridge registers
    buffer[28] = 1;
    buffer[32] = 1;
    buffer[36] = 0x0A;
    uint32_t returned = 0;
    EXPECT_LT(capture.KsProperty(buffer, 104, buffer, 104, &returned), 0);
    ASSERT_GE(receiver.KsProperty(buffer, 104, buffer, 104, &returned), 0);
    EXPECT_EQ(buffer[36], 0x51);
    EXPECT_EQ(returned, 104u);
    buffer[32] = 5;  // wider than a register
    EXPECT_LT(receiver.KsProperty(buffer, 104, buffer, 104, &returned), 0);
    EXPECT_LT(receiver.KsProperty(buffer, 32, buffer, 32, &returned), 0);
}

TEST(VirtualCamera, EnvironmentChoosesTheTransport) {
    ::unsetenv("VELLUMO_VIRTUALCAM");
    EXPECT_FALSE(virtualcam::ConfigFromEnvironment());
    ::setenv("VELLUMO_VIRTUALCAM", "0", 1);
    EXPECT_FALSE(virtualcam::ConfigFromEnvironment());
    ::setenv("VELLUMO_VIRTUALCAM", "1", 1);
    ::setenv("VELLUMO_VIRTUALCAM_TRANSPORT", "receiver", 1);
    auto config = virtualcam::ConfigFromEnvironment();
    ASSERT_TRUE(config);
    EXPECT_EQ(config->transport, virtualcam::BridgeTransport::KsReceiver);
    ::setenv("VELLUMO_VIRTUALCAM_TRANSPORT", "xu", 1);
    EXPECT_EQ(virtualcam::ConfigFromEnvironment()->transport, virtualcam::BridgeTransport::UvcExtension);
    ::unsetenv("VELLUMO_VIRTUALCAM_TRANSPORT");
    EXPECT_EQ(virtualcam::ConfigFromEnvironment()->transport, virtualcam::BridgeTransport::Hid);

    virtualcam::VirtualCamera* camera = virtualcam::AttachFromEnvironment();
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(virtualcam::AttachFromEnvironment(), camera);
    EXPECT_EQ(&platform::CurrentHidBackend(), static_cast<platform::HidBackend*>(camera));
    std::string path = camera->DevicePath();
    EXPECT_NE(path.find(virtualcam::kIdentityText), std::string::npos);
    camera->Uninstall();
    ::unsetenv("VELLUMO_VIRTUALCAM");
}

}  // namespace
