// The device-control link: opening in transport order, the lock, bus selection and the 0xA0 case.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "link_fixture.h"
#include "platform/hid/hid_device.h"
#include "platform/registry/registry.h"
#include "platform/sync/named_mutex.h"

using devctl::kCamFail;
using devctl::kCamOk;
using virtualcam::BridgeTransport;

namespace {

using FacadeTest = LinkTest;

TEST_F(FacadeTest, CallsBeforeOpenFailAndLeaveOutputsUntouched) {
    Use(BridgeTransport::Hid);
    uint32_t value = 0xCAFE;
    EXPECT_EQ(devctl::CamReadRegister(6, 1, &value), kCamFail);
    EXPECT_EQ(value, 0xCAFEu);
    EXPECT_EQ(devctl::CamWriteRegister(6, 1, &value), kCamFail);
    uint8_t sub[2] = {0x3C, 0x01};
    uint8_t out[1] = {0x11};
    EXPECT_EQ(devctl::CamBusRead(0x78, 2, sub, 1, out), kCamFail);
    EXPECT_EQ(out[0], 0x11);
    devctl::CamSelectBus(1, 1);
    EXPECT_TRUE(Log().Events().empty());
}

TEST_F(FacadeTest, OpeningTwiceClosesTheFirstLink) {
    auto& camera = Use(BridgeTransport::Hid);
    ASSERT_NE(devctl::CamOpen(), 0);
    ASSERT_NE(devctl::CamOpen(), 0);
    EXPECT_EQ(Wire("hid"), (Lines{"open virtual:hidraw0", "close", "open virtual:hidraw0"}));
    EXPECT_EQ(camera.OpenHidHandles(), 1);
    devctl::CamClose();
    EXPECT_EQ(camera.OpenHidHandles(), 0);
    uint32_t value = 0;
    EXPECT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamFail);
}

TEST_F(FacadeTest, NoCameraLeavesTheLinkClosed) {
    virtualcam::VirtualCameraConfig config;
    config.transport = BridgeTransport::Hid;
    config.hid_decoys = {virtualcam::HidDecoy::Keyboard};
    Use(config);
    camera_->Uninstall();  // nothing but the (empty) system remains
    EXPECT_EQ(devctl::CamOpen(), 0);
    uint32_t value = 0;
    EXPECT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamFail);
}

TEST_F(FacadeTest, EepromAccessSelectsThePrimaryBusAndSwapsTheCallersSubAddress) {
    OpenOn(BridgeTransport::Hid);
    uint8_t sub[2] = {0x12, 0x34};
    uint8_t data[1] = {0x55};
    ASSERT_EQ(devctl::CamBusWrite(0xA0, 2, sub, 1, data), kCamOk);
    EXPECT_EQ(sub[0], 0x34);
    EXPECT_EQ(sub[1], 0x12);
    EXPECT_EQ(Wire("bus"), Lines{"bus1 write a0: 34 12 55"});
    Lines hid = Wire("hid");
    ASSERT_GE(hid.size(), 5u);
    // Register 6 read and written back without bit 2, then the write with the stop byte 0 (no option).
    EXPECT_EQ((Lines{hid[0], hid[1], hid[2], hid[3], hid[4], hid[5]}),
              (Lines{"set 87 [4]: 00 06 01", "get 93 [40]", "set 87 [4]: 01", "set 93 [40]: 06 01",
                     "set 87 [4]: 03", "set 93 [40]: a0 03 01 34 12 55"}));
    EXPECT_EQ(camera_->Chip().ReadRegister(6, 1), 0u);

    // The option flag is not used for the EEPROM even when set.
    devctl::CamSelectBus(1, 1);
    Log().Clear();
    uint8_t again[2] = {0x00, 0x02};
    ASSERT_EQ(devctl::CamBusWrite(0xA0, 2, again, 0, nullptr), kCamOk);
    EXPECT_EQ(Wire("bus"), Lines{"bus1 write a0: 02 00"});
    EXPECT_EQ(Wire("hid")[5], "set 93 [40]: a0 02 00 02");

    // Too much for one HID transfer: refused before the bus is selected or the caller's bytes are swapped.
    Log().Clear();
    uint8_t big[36] = {};
    ASSERT_EQ(devctl::CamBusWrite(0xA0, 2, again, sizeof big, big), kCamFail);
    EXPECT_TRUE(Log().Events().empty());
    EXPECT_EQ(again[0], 0x02);
}

TEST_F(FacadeTest, SelectBusFlipsRegisterSixBitTwoAndSetsTheOption) {
    OpenOn(BridgeTransport::Hid);
    camera_->Chip().WriteRegister(6, 1, 0xF4);
    devctl::CamSelectBus(1, 0);
    EXPECT_EQ(camera_->Chip().ReadRegister(6, 1), 0xF0u);
    uint8_t sub[2] = {0x3C, 0x01};
    devctl::CamSelectBus(2, 7);
    EXPECT_EQ(camera_->Chip().ReadRegister(6, 1), 0xF4u);
    Log().Clear();
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 0, nullptr), kCamOk);
    EXPECT_EQ(Wire("hid")[1], "set 93 [40]: 78 02 01 3c 01");  // stop after the sub-address
    devctl::CamSelectBus(2, 0);
    Log().Clear();
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, sub, 0, nullptr), kCamOk);
    EXPECT_EQ(Wire("hid")[1], "set 93 [40]: 78 02 00 3c 01");
}

TEST_F(FacadeTest, WithTheHidInterfacePresentNoVideoDeviceIsTouchedAndNothingInstalled) {
    virtualcam::VirtualCameraConfig config;
    config.transport = BridgeTransport::Hid;
    config.hid_decoys = {virtualcam::HidDecoy::Keyboard, virtualcam::HidDecoy::CommandOnly};
    config.decoy_video_nodes = {4};
    Use(config);
    ASSERT_NE(devctl::CamOpen(), 0);
    EXPECT_TRUE(Wire("media").empty());
    EXPECT_FALSE(platform::GetFileAttributes(Temp() + "/registry.ini"));
    EXPECT_EQ(Wire("hid"), Lines{"open virtual:hidraw2"});
}

// The bridge's HID node as the camera is plugged in without the udev rule: listed and examined, but opening
// it is refused with the error the kernel gives (tests run as root, whom file modes do not stop).
class RefusingHidBackend : public platform::HidBackend {
  public:
    RefusingHidBackend(platform::HidBackend& real, int error) : real_(real), error_(error) {}
    std::vector<std::string> EnumerateInterfaces() override { return real_.EnumerateInterfaces(); }
    std::optional<platform::HidInterfaceInfo> Examine(const std::string& path) override {
        return real_.Examine(path);
    }
    int Open(const std::string&) override {
        errno = error_;
        return -1;
    }
    bool SetFeature(int, const uint8_t*, size_t) override { return false; }
    bool GetFeature(int, uint8_t*, size_t) override { return false; }
    void Close(int) override {}

  private:
    platform::HidBackend& real_;
    int error_;
};

// Told once per run, only when the node is there but may not be opened and no other transport opened.
TEST_F(FacadeTest, ARefusedHidNodeGivesOnePermissionNoticeARun) {
    auto& camera = Use(BridgeTransport::Hid);
    RefusingHidBackend gone(camera, ENOENT);
    platform::SetHidBackend(&gone);
    EXPECT_EQ(devctl::CamOpen(), 0);
    EXPECT_FALSE(devctl::CamTakePermissionNotice());  // the node vanished: not a permission matter

    RefusingHidBackend refused(camera, EACCES);
    platform::SetHidBackend(&refused);
    EXPECT_EQ(devctl::CamOpen(), 0);
    EXPECT_TRUE(devctl::CamTakePermissionNotice());
    EXPECT_FALSE(devctl::CamTakePermissionNotice());
    EXPECT_EQ(devctl::CamOpen(), 0);  // plugged in again, still without the rule
    EXPECT_FALSE(devctl::CamTakePermissionNotice());
    platform::SetHidBackend(&camera);
    EXPECT_NE(devctl::CamOpen(), 0);
}

TEST_F(FacadeTest, ExtensionUnitIsTakenOnlyFromAFourNodeTopology) {
    virtualcam::VirtualCameraConfig config;
    config.transport = BridgeTransport::UvcExtension;
    config.hid_decoys = {virtualcam::HidDecoy::CommandOnly};
    config.decoy_video_nodes = {3, 5};
    Use(config);
    ASSERT_NE(devctl::CamOpen(), 0);
    // Binding by path enumerates the category again each time.
    EXPECT_EQ(Wire("media"),
              (Lines{"list video", "list video", "bind Virtual Decoy Camera 0", "list video",
                     "bind Virtual Decoy Camera 1", "list video", "bind Vellumo Virtual Document Camera"}));
    EXPECT_TRUE(Wire("hid").empty());  // the command-only interface was never opened
    uint32_t value = 0;
    ASSERT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamOk);
    EXPECT_EQ(value, 0x51u);
    EXPECT_TRUE(Wire("xu-decoy").empty());
    EXPECT_FALSE(Wire("xu").empty());
}

TEST_F(FacadeTest, KsTransportsAreTriedAfterTheExtensionUnitInOrder) {
    Use(BridgeTransport::KsReceiver);
    ASSERT_NE(devctl::CamOpen(), 0);
    // Extension unit: list and bind; capture bridge: list and bind (no KS control); receiver: list, bind.
    EXPECT_EQ(Wire("media"),
              (Lines{"list video", "list video", "bind Vellumo Virtual Document Camera", "list video",
                     "list video", "bind Vellumo Virtual Document Camera", "list receiver", "list receiver",
                     "bind Vellumo Virtual Bridge Receiver"}));
    EXPECT_EQ(Wire("ks-receiver"), Lines{"get 1036 [104]: ff 00 00 00 01 00 00 00 01 00 00 00 0a"});
}

TEST_F(FacadeTest, MutexHeldByAnotherProcessFailsTheCallAfterItsWaitWithNothingSent) {
    OpenOn(BridgeTransport::Hid);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::NamedMutex mutex("Empia VideoClass HidClass Library");
        char ok = mutex.Lock(0) ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::pause();
        ::_exit(0);
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, 'y');

    uint32_t value = 0xAB;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamFail);
    auto waited = std::chrono::steady_clock::now() - start;
    uint8_t sub[2] = {0x3C, 0x01};
    EXPECT_EQ(devctl::CamBusWrite(0x78, 2, sub, 0, nullptr), kCamFail);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_GE(waited, std::chrono::milliseconds(950));
    EXPECT_EQ(value, 0xABu);
    EXPECT_TRUE(Log().Events().empty());
    // Once the other process is gone the link works again.
    EXPECT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamOk);
}

TEST_F(FacadeTest, FocusStatusReadsBusyAfterARequestThenDone) {
    virtualcam::VirtualCameraConfig config;
    config.focus_time = std::chrono::milliseconds(100);
    Use(config);
    ASSERT_NE(devctl::CamOpen(), 0);
    uint32_t status = 0;
    ASSERT_EQ(devctl::CamReadRegister(0xC4, 1, &status), kCamOk);
    EXPECT_EQ(status, 1u);
    uint32_t zero = 0;
    ASSERT_EQ(devctl::CamWriteRegister(0xC4, 1, &zero), kCamOk);
    ASSERT_EQ(devctl::CamReadRegister(0xC4, 1, &status), kCamOk);
    EXPECT_EQ(status, 2u);
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    ASSERT_EQ(devctl::CamReadRegister(0xC4, 1, &status), kCamOk);
    EXPECT_EQ(status, 1u);
}

// The sensor bit update the camera controls use: read, change, select the secondary bus, write.
class SensorUpdateTest : public LinkTest, public ::testing::WithParamInterface<BridgeTransport> {};

TEST_P(SensorUpdateTest, ReadModifyWriteReachesTheSensor) {
    OpenOn(GetParam());
    uint32_t value = 0;
    uint32_t sub = 0x013C;  // "013C": memory order 3C 01, register 0x3C01
    ASSERT_EQ(
        devctl::CamBusRead(0x78, 2, reinterpret_cast<uint8_t*>(&sub), 1, reinterpret_cast<uint8_t*>(&value)),
        kCamOk);
    EXPECT_EQ(value, 0x34u);
    value |= 0x80;
    devctl::CamSelectBus(2, 1);
    ASSERT_EQ(
        devctl::CamBusWrite(0x78, 2, reinterpret_cast<uint8_t*>(&sub), 1, reinterpret_cast<uint8_t*>(&value)),
        kCamOk);
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3C01), 0xB4);

    uint32_t direction = 0x2038;  // "2038": register 0x3820
    uint32_t flip = 0;
    ASSERT_EQ(devctl::CamBusRead(0x78, 2, reinterpret_cast<uint8_t*>(&direction), 1,
                                 reinterpret_cast<uint8_t*>(&flip)),
              kCamOk);
    flip ^= 0x06;
    ASSERT_EQ(devctl::CamBusWrite(0x78, 2, reinterpret_cast<uint8_t*>(&direction), 1,
                                  reinterpret_cast<uint8_t*>(&flip)),
              kCamOk);
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3820), 0x46);
    EXPECT_TRUE(camera_->Chip().SensorFlipsVertically());
    EXPECT_EQ(sub, 0x013Cu);  // only device 0xA0 swaps the caller's bytes
}

TEST_P(SensorUpdateTest, UnresponsiveChipFailsEveryCallAndChangesNothing) {
    OpenOn(GetParam());
    camera_->Chip().SetResponding(false);
    uint32_t value = 0x5A5A;
    EXPECT_EQ(devctl::CamReadRegister(0x0A, 1, &value), kCamFail);
    EXPECT_EQ(value, 0x5A5Au);
    uint8_t sub[2] = {0x3C, 0x01};
    uint8_t out[1] = {0x77};
    EXPECT_EQ(devctl::CamBusRead(0x78, 2, sub, 1, out), kCamFail);
    EXPECT_EQ(out[0], 0x77);
    EXPECT_EQ(devctl::CamBusWrite(0x78, 2, sub, 1, out), kCamFail);
    // The bus selection cannot read register 6, so it does not write it either.
    devctl::CamSelectBus(1, 0);
    camera_->Chip().SetResponding(true);
    EXPECT_EQ(camera_->Chip().ReadRegister(6, 1), 0x04u);
    EXPECT_EQ(camera_->Chip().SensorRegister(0x3C01), 0x34);
    EXPECT_TRUE(Wire("bus").empty());
}

std::string TransportName(const ::testing::TestParamInfo<BridgeTransport>& info) {
    static const char* const kNames[] = {"Hid", "UvcExtension", "KsCapture", "KsReceiver"};
    return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryTransport, SensorUpdateTest,
                         ::testing::Values(BridgeTransport::Hid, BridgeTransport::UvcExtension,
                                           BridgeTransport::KsCapture, BridgeTransport::KsReceiver),
                         TransportName);

}  // namespace

namespace {

// A series dialog's thread polls the focus status while the GUI thread closes and reopens the link on
// device events: every read either succeeds with the chip's value or fails cleanly, never in between.
TEST_F(FacadeTest, ClosingOnOneThreadWhileAnotherPollsIsSafe) {
    OpenOn(BridgeTransport::Hid);
    std::atomic<bool> stop{false};
    std::atomic<int> ok{0}, failed{0}, odd{0};
    std::thread poller([&] {
        while (!stop.load()) {
            uint32_t status = 0xFFFF;
            const devctl::CamResult r = devctl::CamReadRegister(0xC4, 1, &status);
            if (r == kCamOk) {
                ++ok;
                if (status > 0xFF) ++odd;
            } else if (r == kCamFail) {
                ++failed;
                if (status != 0xFFFF) ++odd;  // a failed call leaves the output alone
            } else {
                ++odd;
            }
        }
    });
    // Waits (bounded) until the poller has seen one more result of the kind.
    auto another = [](std::atomic<int>& counter) {
        const int before = counter.load();
        for (int i = 0; i < 4000 && counter.load() == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return counter.load() > before;
    };
    for (int i = 0; i < 20; ++i) {
        devctl::CamClose();
        ASSERT_TRUE(another(failed));
        ASSERT_NE(devctl::CamOpen(), 0);
        ASSERT_TRUE(another(ok));
    }
    devctl::CamClose();
    stop = true;
    poller.join();
    EXPECT_EQ(odd.load(), 0);
    EXPECT_EQ(camera_->OpenHidHandles(), 0);
}

}  // namespace
