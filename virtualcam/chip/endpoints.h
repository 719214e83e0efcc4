#pragma once
// The bridge chip's four host interfaces, each speaking its wire format and logging every transfer:
//  - HID: feature report 0x87 (4-byte command) and 0x93 (40-byte data);
//  - UVC extension unit: selector 1 = length of the next set, 2 register read, 3 register write,
//    4 bus read, 5 bus write;
//  - the capture-bridge KS property set (ids 0x1005, 0x1006, 0x1029, 0x102A);
//  - the receiver-bridge KS property set (id 0x1036; device 0xFF = the bridge's own registers).

#include <cstdint>
#include <string>
#include <vector>

#include "media/media_device.h"
#include "virtualcam/chip/bridge_chip.h"

namespace virtualcam {

inline constexpr uint8_t kCommandReport = 0x87;
inline constexpr uint8_t kDataReport = 0x93;
inline constexpr size_t kCommandPayload = 4;
inline constexpr size_t kDataPayload = 40;
inline constexpr uint8_t kExtensionUnitId = 4;

class HidEndpoint {
  public:
    HidEndpoint(BridgeChip& chip, WireLog& log) : chip_(chip), log_(log) {}
    // A vendor-page collection with the two feature reports.
    static std::vector<uint8_t> ReportDescriptor();
    // report[0] = report ID, length includes it.
    bool SetFeature(const uint8_t* report, size_t length);
    bool GetFeature(uint8_t* report, size_t length);

  private:
    BridgeChip& chip_;
    WireLog& log_;
    uint8_t command_[kCommandPayload] = {};
    bool armed_ = false;  // a command waits for its data phase
};

class XuEndpoint {
  public:
    // channel names the log channel ("xu" for the camera's unit).
    XuEndpoint(BridgeChip& chip, WireLog& log, std::string channel = "xu")
        : chip_(chip), log_(log), channel_(std::move(channel)) {}
    // Answers like UVCIOC_CTRL_QUERY: 0 or an errno value.
    int Query(uint8_t unit, uint8_t selector, uint8_t query, uint16_t size, uint8_t* data);
    static int QueryThunk(void* context, uint8_t unit, uint8_t selector, uint8_t query, uint16_t size,
                          uint8_t* data);
    // Selector 1's current value (the length of the next set).
    uint8_t LengthSelector() const { return length_; }

  private:
    int Set(uint8_t selector, uint16_t size, const uint8_t* data);
    int Get(uint8_t selector, uint16_t size, uint8_t* data);

    BridgeChip& chip_;
    WireLog& log_;
    std::string channel_;
    uint8_t length_ = 1;
    uint8_t read_register_ = 0, read_width_ = 0;
    uint8_t bus_device_ = 0, bus_count_ = 0;
};

class KsCaptureEndpoint : public platform::KsControl {
  public:
    KsCaptureEndpoint(BridgeChip& chip, WireLog& log) : chip_(chip), log_(log) {}
    int32_t KsProperty(void* property, uint32_t property_length, void* data, uint32_t data_length,
                       uint32_t* bytes_returned) override;

  private:
    BridgeChip& chip_;
    WireLog& log_;
    uint8_t register_ = 0, width_ = 1;
    uint8_t bus_device_ = 0;
    uint32_t bus_count_ = 0;
};

class KsReceiverEndpoint : public platform::KsControl {
  public:
    KsReceiverEndpoint(BridgeChip& chip, WireLog& log) : chip_(chip), log_(log) {}
    int32_t KsProperty(void* property, uint32_t property_length, void* data, uint32_t data_length,
                       uint32_t* bytes_returned) override;

  private:
    BridgeChip& chip_;
    WireLog& log_;
};

extern const platform::Guid kCaptureBridgePropertySet;
extern const platform::Guid kReceiverBridgePropertySet;

}  // namespace virtualcam
