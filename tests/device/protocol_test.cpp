// Exact wire traffic of the register and bus operations over each transport.

#include "device/protocol/register_protocol.h"
#include "link_fixture.h"

using devctl::kCamFail;
using devctl::kCamOk;
using virtualcam::BridgeTransport;

namespace {

const Lines kHidStatusRead = {"set 87 [4]: 00 05 01", "get 93 [40]"};
const Lines kXuStatusRead = {"set 1 [1]: 02", "set 2 [2]: 05 01", "get 2 [4]", "set 1 [1]: 01"};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

using ProtocolTest = LinkTest;

TEST_F(ProtocolTest, CaptureBridgeRegisterReadSendsRegisterAndWidthAndKeepsTheWholeWord) {
    OpenOn(BridgeTransport::KsCapture);
    camera_->Chip().WriteRegister(6, 4, 0x33221104);
    uint32_t value = 0;
    ASSERT_EQ(devctl::CamReadRegister(6, 1, &value), kCamOk);
    EXPECT_EQ(Wire("ks-capture"), (Lines{"set 1005 [32]: 01 06", "get 1006 [32]"}));
    EXPECT_EQ(value, 0x33221104u);

    Log().Clear();
    uint32_t focus = 0;
    ASSERT_EQ(devctl::CamWriteRegister(0xC4, 2, &focus), kCamOk);
    uint32_t three = 0x00ABCDEF;
    ASSERT_EQ(devctl::CamWriteRegister(0x30, 3, &three), kCamOk);  // width 3 travels with code 1
    EXPECT_EQ(Wire("ks-capture"), (Lines{"set 1005 [32]: 02 c4", "set 1006 [32]", "set 1005 [32]: 01 30",
                                         "set 1006 [32]: ef cd ab"}));
}

TEST_F(ProtocolTest, ExtensionUnitWriteSetsTheLengthSelectorAroundTheData) {
    OpenOn(BridgeTransport::UvcExtension);
    uint32_t value = 0x1234;
    ASSERT_EQ(devctl::CamWriteRegister(0x20, 2, &value), kCamOk);
    EXPECT_EQ(Wire("xu"), (Lines{"set 1 [1]: 04", "set 3 [4]: 20 02 34 12", "set 1 [1]: 01"}));
    EXPECT_EQ(camera_->Chip().ReadRegister(0x20, 2), 0x1234u);

    Log().Clear();
    uint32_t read = 0xFFFFFFFF;
    ASSERT_EQ(devctl::CamReadRegister(0x20, 2, &read), kCamOk);
    EXPECT_EQ(Wire("xu"), (Lines{"set 1 [1]: 02", "set 2 [2]: 20 02", "get 2 [4]", "set 1 [1]: 01"}));
    EXPECT_EQ(read, 0x1234u);
}

TEST_F(ProtocolTest, HidBusReadWritesTheSubAddressThenReadsWithStatusChecks) {
    OpenOn(BridgeTransport::Hid);
    uint8_t sub[2] = {0x3C, 0x01};
    uint8_t out[1] = {0xEE};
    ASSERT_EQ(devctl::CamBusRead(0x78, 2, sub, 1, out), kCamOk);
    EXPECT_EQ(Wire("hid"), Concat({{"set 87 [4]: 03", "set 93 [40]: 78 02 00 3c 01"},
                                   kHidStatusRead,
                                   {"set 87 [4]: 02 78 01 01", "get 93 [40]"},
                                   kHidStatusRead}));
    EXPECT_EQ(Wire("bus"), (Lines{"bus2 write 78: 3c 01", "bus2 read 78 [1]: 34"}));
    EXPECT_EQ(out[0], 0x34);

    // With the stop-after-sub-address option the sub-address write says so.
    devctl::CamSelectBus(2, 1);
    Log().Clear();
    ASSERT_EQ(devctl::CamBusRead(0x78, 2, sub, 1, out), kCamOk);
    EXPECT_EQ(Wire("hid")[1], "set 93 [40]: 78 02 01 3c 01");
}

TEST_F(ProtocolTest, BusReadWithoutSubAddressSendsNoSubAddressWrite) {
    OpenOn(BridgeTransport::Hid);
    uint8_t out[2] = {};
    ASSERT_EQ(devctl::CamBusRead(0x78, 0, nullptr, 2, out), kCamOk);
    EXPECT_EQ(Wire("hid"), Concat({{"set 87 [4]: 02 78 02 01", "get 93 [40]"}, kHidStatusRead}));

    devctl::CamClose();
    OpenOn(BridgeTransport::UvcExtension);
    ASSERT_EQ(devctl::CamBusRead(0x78, 0, nullptr, 2, out), kCamOk);
    EXPECT_EQ(Wire("xu"), Concat({{"set 1 [1]: 03", "set 4 [3]: 78 02 01", "get 4 [64]", "set 1 [1]: 01"},
                                  kXuStatusRead}));
}

TEST_F(ProtocolTest, ExtensionUnitBusWriteCarriesTheHeaderAndChecksStatus) {
    OpenOn(BridgeTransport::UvcExtension);
    devctl::CamSelectBus(2, 1);
    Log().Clear();
    uint8_t sub[2] = {0x3C, 0x01};
    uint8_t data[1] = {0x80};
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 1, data), kCamOk);
    EXPECT_EQ(Wire("xu"),
              Concat({{"set 1 [1]: 06", "set 5 [6]: 78 03 01 3c 01 80", "set 1 [1]: 01"}, kXuStatusRead}));
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3C01), 0x80);

    // The sub-address alone: the stop byte carries the option.
    Log().Clear();
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 0, nullptr), kCamOk);
    EXPECT_EQ(Wire("xu")[1], "set 5 [5]: 78 02 01 3c 01");
}

TEST_F(ProtocolTest, ReceiverBridgeAddressesRegistersAsDevice0xFF) {
    OpenOn(BridgeTransport::KsReceiver);
    uint32_t value = 0;
    ASSERT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamOk);
    EXPECT_EQ(value, 0x51u);
    uint32_t write = 0xBEEF;
    ASSERT_EQ(devctl::CamWriteRegister(0x40, 2, &write), kCamOk);
    uint8_t sub[2] = {0x38, 0x20};
    uint8_t out[1] = {};
    ASSERT_EQ(devctl::CamBusRead(0x78, 2, sub, 1, out), kCamOk);
    uint8_t data[1] = {0x46};
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 1, data), kCamOk);
    EXPECT_EQ(Wire("ks-receiver"), (Lines{"get 1036 [104]: ff 00 00 00 01 00 00 00 01 00 00 00 0a",
                                          "set 1036 [104]: ff 00 00 00 03 00 00 00 00 00 00 00 40 ef be",
                                          "get 1036 [104]: 78 00 00 00 02 00 00 00 01 00 00 00 38 20",
                                          "set 1036 [104]: 78 00 00 00 03 00 00 00 00 00 00 00 38 20 46"}));
    EXPECT_EQ(out[0], 0x40);
    EXPECT_EQ(camera_->Chip().ReadRegister(0x40, 2), 0xBEEFu);
}

TEST_F(ProtocolTest, CaptureBridgeBusTransactions) {
    OpenOn(BridgeTransport::KsCapture);
    uint8_t sub[2] = {0x3C, 0x0C};
    uint8_t data[2] = {0x01, 0x02};
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 2, data), kCamOk);
    uint8_t out[2] = {};
    ASSERT_EQ(devctl::CamBusRead(0x78, 2, sub, 2, out), kCamOk);
    EXPECT_EQ(Wire("ks-capture"),
              (Lines{"set 102a [104]: 78 00 00 00 04 00 00 00 00 00 00 00 3c 0c 01 02",
                     "set 1029 [104]: 78 00 00 00 02 00 00 00 02 00 00 00 3c 0c", "get 102a [104]"}));
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x02);
}

TEST_F(ProtocolTest, BusStatusBitFailsATransactionWhoseTransfersWentThrough) {
    OpenOn(BridgeTransport::Hid);
    uint8_t sub[2] = {0x00, 0x10};
    uint8_t out[1] = {0x5A};
    EXPECT_EQ(devctl::CamBusRead(0x50, 2, sub, 1, out), kCamFail);  // nothing answers at 0x50
    EXPECT_EQ(out[0], 0x5A);
    EXPECT_EQ(Wire("hid").size(), 4u);  // stops after the failed sub-address write and its status read
    EXPECT_EQ(camera_->Chip().ReadRegister(5, 1) & 0x10, 0x10u);
}

TEST_F(ProtocolTest, TransportKindNoneOrUnknownFailsWithoutTouchingAnyDevice) {
    auto& camera = Use(BridgeTransport::Hid);
    devctl::Transport transport;
    transport.hidHandle = camera.Open("virtual:hidraw0");
    Log().Clear();
    for (uint8_t kind : {0, 5, 200}) {
        transport.kind = static_cast<devctl::TransportKind>(kind);
        devctl::RegisterRequest reg;
        reg.reg = 6;
        reg.width = 1;
        reg.value = 0x77;
        devctl::BusRequest bus;
        bus.deviceAddress = 0x78;
        bus.readCount = 1;
        EXPECT_FALSE(devctl::RegisterRead(transport, reg));
        EXPECT_FALSE(devctl::RegisterWrite(transport, reg));
        EXPECT_FALSE(devctl::BusRead(transport, bus));
        EXPECT_FALSE(devctl::BusWrite(transport, bus));
        EXPECT_EQ(uint32_t{reg.value}, 0x77u);  // a copy: the packed field may sit at any address
    }
    EXPECT_TRUE(Log().Events().empty());
    camera.Close(transport.hidHandle);
}

TEST_F(ProtocolTest, RequestsLargerThanATransportCarriesFailBeforeAnyTransfer) {
    uint8_t sub[64] = {};
    uint8_t data[64] = {};
    uint8_t out[64] = {};
    OpenOn(BridgeTransport::Hid);
    EXPECT_EQ(devctl::CamBusWrite(0x78, 30, sub, 8, data), kCamFail);  // 38 bytes > 37
    EXPECT_EQ(devctl::CamBusRead(0x78, 0, nullptr, 41, out), kCamFail);
    EXPECT_EQ(devctl::CamBusWrite(0x78, 65, sub, 0, data), kCamFail);  // wider than the request field
    uint32_t value = 0;
    EXPECT_EQ(devctl::CamWriteRegister(6, 5, &value), kCamFail);
    EXPECT_TRUE(Wire("hid").empty());
    EXPECT_EQ(devctl::CamBusWrite(0x78, 2, sub, 35, data), kCamOk);  // exactly 37 is fine

    devctl::CamClose();
    OpenOn(BridgeTransport::KsCapture);
    EXPECT_EQ(devctl::CamBusWrite(0x78, 40, sub, 30, data), kCamFail);  // 70 bytes > 68
    EXPECT_TRUE(Wire("ks-capture").empty());
    EXPECT_EQ(devctl::CamBusRead(0x78, 2, sub, 64, out), kCamOk);
}

}  // namespace
