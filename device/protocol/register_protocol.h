#pragma once
// The bridge chip's register and serial-bus protocol over its four transports: the UVC extension unit
// (through the extension-control object), HID feature reports, and two vendor KS property sets.
// Four primitive operations, each returning true on success. The caller (the device-control facade)
// holds the control mutex; nothing else calls these.

#include <cstddef>
#include <cstdint>

#include "media/media_device.h"
#include "outside/emxunit/emxunit_api.h"

namespace devctl {

enum class TransportKind : uint8_t { none = 0, uvcExtension = 1, hid = 2, ksCapture = 3, ksReceiver = 4 };

#pragma pack(push, 1)
struct RegisterRequest {
    uint8_t reg = 0;
    uint8_t width = 0;   // 1, 2 or 4
    uint32_t value = 0;  // little-endian; a write sends its low width bytes, a read fills it
};

struct BusRequest {
    uint16_t flags = 0;          // kBusHasSubAddress, kBusStopAfterSubAddress
    uint16_t deviceAddress = 0;  // 8-bit bus address in the low byte
    uint8_t writeBytes[64] = {};
    uint8_t writeCount = 0;
    uint8_t readBytes[64] = {};  // bus read: the data read; bus write: the data to write
    uint8_t readCount = 0;       // bus read: bytes to read; bus write: data bytes to write
};
#pragma pack(pop)
static_assert(sizeof(RegisterRequest) == 6);
static_assert(sizeof(BusRequest) == 134);

inline constexpr uint16_t kBusHasSubAddress = 0x01;
inline constexpr uint16_t kBusStopAfterSubAddress = 0x10;

inline constexpr uint8_t kRegBusStatus = 0x05;
inline constexpr uint8_t kRegBusControl = 0x06;
inline constexpr uint8_t kRegProbe = 0x0A;
inline constexpr uint8_t kBusStatusFailed = 0x10;
inline constexpr uint8_t kBusControlSecondary = 0x04;

// Largest transfers each transport carries.
inline constexpr size_t kBusFieldMax = 64;
inline constexpr size_t kHidBusWriteMax = 37;  // write bytes + data bytes after the 3-byte header
inline constexpr size_t kHidBusReadMax = 40;
inline constexpr size_t kKsBusMax = 68;  // bytes after offset 36 of the 104-byte buffer

// The open transport: its kind and its handle.
struct Transport {
    TransportKind kind = TransportKind::none;
    emx::IUvcExtensionControl* extension = nullptr;  // uvcExtension
    int hidHandle = -1;                              // hid
    platform::KsControl* ks = nullptr;               // ksCapture, ksReceiver
};

bool RegisterRead(const Transport& transport, RegisterRequest& request);
bool RegisterWrite(const Transport& transport, const RegisterRequest& request);
bool BusRead(const Transport& transport, BusRequest& request);
bool BusWrite(const Transport& transport, const BusRequest& request);

// Whether one bus transaction with these byte counts fits the transport's transfers (data = bytes read,
// or data bytes written).
bool BusFits(TransportKind kind, size_t writeCount, size_t dataCount, bool read);

// Transports 1 and 2: reads register 5 and tells whether bit 4 reports a failed transaction. A status
// read that itself fails counts as a failed transaction.
bool BusStatusFailed(const Transport& transport);

}  // namespace devctl
