// Extension-unit sequences when single transfers fail, on a scripted extension-control object.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/protocol/register_protocol.h"

namespace {

// Records every call as "set <selector>: <first byte>" / "get <selector>" and fails the calls whose
// numbers (from 1) are listed.
class ScriptedExtension final : public emx::IUvcExtensionControl {
  public:
    explicit ScriptedExtension(std::vector<int> failing, uint8_t status = 0)
        : failing_(std::move(failing)), status_(status) {}
    int32_t GetControl(uint8_t selector, uint32_t length, uint8_t* buffer) override {
        calls.push_back("get " + std::to_string(selector));
        if (Fails()) return emx::kFail;
        for (uint32_t i = 0; i < length; ++i) buffer[i] = status_;
        return emx::kOk;
    }
    int32_t SetControl(uint8_t selector, uint32_t, const uint8_t* buffer) override {
        calls.push_back("set " + std::to_string(selector) + ": " + std::to_string(buffer[0]));
        return Fails() ? emx::kFail : emx::kOk;
    }
    int32_t Attach(uint32_t* found) override {
        *found = 1;
        return emx::kOk;
    }
    int32_t Detach() override { return emx::kOk; }
    void Release() override {}

    std::vector<std::string> calls;

  private:
    bool Fails() {
        int n = static_cast<int>(calls.size());
        for (int f : failing_) {
            if (f == n) return true;
        }
        return false;
    }
    std::vector<int> failing_;
    uint8_t status_;
};

devctl::Transport Over(ScriptedExtension& xu) {
    devctl::Transport transport;
    transport.kind = devctl::TransportKind::uvcExtension;
    transport.extension = &xu;
    return transport;
}

devctl::BusRequest SensorWrite() {
    devctl::BusRequest request;
    request.deviceAddress = 0x78;
    request.flags = devctl::kBusHasSubAddress;
    request.writeBytes[0] = 0x3C;
    request.writeBytes[1] = 0x01;
    request.writeCount = 2;
    request.readBytes[0] = 0x80;
    request.readCount = 1;
    return request;
}

using Calls = std::vector<std::string>;

TEST(ExtensionUnitSequence, FailedFirstLengthSetEndsTheOperationAtOnce) {
    ScriptedExtension xu({1});
    devctl::RegisterRequest request;
    request.reg = 6;
    request.width = 1;
    EXPECT_FALSE(devctl::RegisterRead(Over(xu), request));
    EXPECT_EQ(xu.calls, Calls{"set 1: 2"});
}

TEST(ExtensionUnitSequence, FailedTransferStillResetsTheLengthSelector) {
    ScriptedExtension xu({2});
    devctl::RegisterRequest request;
    request.reg = 0x20;
    request.width = 2;
    request.value = 0x1234;
    EXPECT_FALSE(devctl::RegisterWrite(Over(xu), request));
    EXPECT_EQ(xu.calls, (Calls{"set 1: 4", "set 3: 32", "set 1: 1"}));

    ScriptedExtension reader({2});
    devctl::RegisterRequest read;
    read.reg = 6;
    read.width = 1;
    read.value = 0;
    EXPECT_FALSE(devctl::RegisterRead(Over(reader), read));
    EXPECT_EQ(reader.calls, (Calls{"set 1: 2", "set 2: 6", "set 1: 1"}));  // no get after a failed select
}

TEST(ExtensionUnitSequence, BusWriteFailsWhenTheStatusCannotBeRead) {
    // Calls: length, data, reset, then the status read's length set fails.
    ScriptedExtension xu({4});
    EXPECT_FALSE(devctl::BusWrite(Over(xu), SensorWrite()));
    EXPECT_EQ(xu.calls, (Calls{"set 1: 6", "set 5: 120", "set 1: 1", "set 1: 2"}));

    ScriptedExtension fine({});
    EXPECT_TRUE(devctl::BusWrite(Over(fine), SensorWrite()));
    EXPECT_EQ(fine.calls,
              (Calls{"set 1: 6", "set 5: 120", "set 1: 1", "set 1: 2", "set 2: 5", "get 2", "set 1: 1"}));
}

TEST(ExtensionUnitSequence, BusStatusBitFourFailsATransactionThatWentThrough) {
    ScriptedExtension xu({}, 0x10);
    EXPECT_FALSE(devctl::BusWrite(Over(xu), SensorWrite()));
    ScriptedExtension other_bits({}, 0xEF);
    EXPECT_TRUE(devctl::BusWrite(Over(other_bits), SensorWrite()));
}

TEST(ExtensionUnitSequence, BusReadStopsWhenItsSubAddressWriteFails) {
    ScriptedExtension xu({2});
    devctl::BusRequest request = SensorWrite();
    request.readBytes[0] = 0;
    EXPECT_FALSE(devctl::BusRead(Over(xu), request));
    EXPECT_EQ(xu.calls, (Calls{"set 1: 5", "set 5: 120", "set 1: 1"}));
}

}  // namespace
