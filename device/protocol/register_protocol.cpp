#include "device/protocol/register_protocol.h"

#include <cstring>

#include "device/hid/hid_discovery.h"

namespace devctl {
namespace {

// Extension-unit selectors.
constexpr uint8_t kSelLength = 1;
constexpr uint8_t kSelRegisterRead = 2;
constexpr uint8_t kSelRegisterWrite = 3;
constexpr uint8_t kSelBusRead = 4;
constexpr uint8_t kSelBusWrite = 5;

// HID command report opcodes.
constexpr uint8_t kHidOpRegisterRead = 0x00;
constexpr uint8_t kHidOpRegisterWrite = 0x01;
constexpr uint8_t kHidOpBusRead = 0x02;
constexpr uint8_t kHidOpBusWrite = 0x03;
constexpr size_t kHidCommandLength = 4;
constexpr size_t kHidDataLength = 40;

// KS property buffers.
constexpr uint32_t kKsGet = 1;
constexpr uint32_t kKsSet = 2;
constexpr uint32_t kKsSmall = 32;
constexpr uint32_t kKsLarge = 104;
constexpr size_t kKsPayload = 24;
constexpr size_t kKsBytes = 36;
constexpr uint32_t kKsRegisterSelect = 0x1005;
constexpr uint32_t kKsRegisterValue = 0x1006;
constexpr uint32_t kKsBusSetup = 0x1029;
constexpr uint32_t kKsBusData = 0x102A;
constexpr uint32_t kKsReceiverProperty = 0x1036;
constexpr uint8_t kKsBridgeDevice = 0xFF;
const platform::Guid kCaptureBridgeSet = platform::GuidFromString("{85548EFB-86C8-4E57-B2FA-802B1B86C2AA}");
const platform::Guid kReceiverBridgeSet = platform::GuidFromString("{846A4C4E-76D8-42EC-A333-121F365A4DA8}");

bool Succeeded(int32_t hr) { return hr >= 0; }

bool ValidKind(TransportKind kind) {
    auto k = static_cast<uint8_t>(kind);
    return k >= 1 && k <= 4;
}

bool ValidWidth(uint8_t width) { return width >= 1 && width <= 4; }

void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t Le32(const uint8_t* p, size_t n = 4) {
    uint32_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint32_t>(p[i]) << (8 * i);
    return v;
}

bool CopiesWriteBytes(const BusRequest& r) { return r.writeCount > 0 && (r.flags & kBusHasSubAddress) != 0; }

// The bus write header of transports 1 and 2; returns the bytes it fills (3 + write count + read count).
size_t BusWriteHeader(const BusRequest& r, uint8_t* out) {
    out[0] = static_cast<uint8_t>(r.deviceAddress);
    out[1] = static_cast<uint8_t>(r.writeCount + r.readCount);
    out[2] = r.readCount > 0 ? 1 : static_cast<uint8_t>((r.flags & kBusStopAfterSubAddress) >> 4);
    size_t at = 3;
    if (CopiesWriteBytes(r)) {
        std::memcpy(out + at, r.writeBytes, r.writeCount);
        at += r.writeCount;
    }
    std::memcpy(out + at, r.readBytes, r.readCount);
    return 3 + r.writeCount + r.readCount;
}

// The sub-address alone, sent before a bus read on transports 1 and 2.
BusRequest SubAddressOnly(const BusRequest& r) {
    BusRequest copy = r;
    copy.readCount = 0;
    return copy;
}

// --- Transport 1: UVC extension unit ---------------------------------------------------------------

bool XuSetLength(emx::IUvcExtensionControl* xu, uint8_t length) {
    return Succeeded(xu->SetControl(kSelLength, 1, &length));
}

bool XuRegisterRead(emx::IUvcExtensionControl* xu, RegisterRequest& r) {
    if (!XuSetLength(xu, 2)) return false;
    uint8_t select[2] = {r.reg, r.width};
    bool ok = Succeeded(xu->SetControl(kSelRegisterRead, 2, select));
    if (ok) {
        uint8_t value[4] = {};
        PutLe32(value, r.value);
        ok = Succeeded(xu->GetControl(kSelRegisterRead, r.width, value));
        if (ok) r.value = Le32(value);
    }
    XuSetLength(xu, 1);
    return ok;
}

bool XuRegisterWrite(emx::IUvcExtensionControl* xu, const RegisterRequest& r) {
    uint8_t length = static_cast<uint8_t>(r.width + 2);
    if (!XuSetLength(xu, length)) return false;
    uint8_t bytes[6] = {r.reg, r.width};
    PutLe32(bytes + 2, r.value);
    bool ok = Succeeded(xu->SetControl(kSelRegisterWrite, length, bytes));
    XuSetLength(xu, 1);
    return ok;
}

bool XuBusWrite(const Transport& t, const BusRequest& r) {
    uint8_t bytes[3 + 2 * kBusFieldMax] = {};
    auto length = static_cast<uint8_t>(BusWriteHeader(r, bytes));
    if (!XuSetLength(t.extension, length)) return false;
    bool ok = Succeeded(t.extension->SetControl(kSelBusWrite, length, bytes));
    XuSetLength(t.extension, 1);
    return ok && !BusStatusFailed(t);
}

bool XuBusRead(const Transport& t, BusRequest& r) {
    if (CopiesWriteBytes(r) && !XuBusWrite(t, SubAddressOnly(r))) return false;
    if (!XuSetLength(t.extension, 3)) return false;
    uint8_t setup[3] = {static_cast<uint8_t>(r.deviceAddress), r.readCount, 1};
    bool ok = Succeeded(t.extension->SetControl(kSelBusRead, 3, setup));
    if (ok) ok = Succeeded(t.extension->GetControl(kSelBusRead, r.readCount, r.readBytes));
    XuSetLength(t.extension, 1);
    return ok && !BusStatusFailed(t);
}

// --- Transport 2: HID feature reports -------------------------------------------------------------

bool HidCommand(int handle, uint8_t op, uint8_t a, uint8_t b, uint8_t c) {
    uint8_t command[kHidCommandLength] = {op, a, b, c};
    return HidSetFeature(handle, kHidCommandReportId, command, sizeof command);
}

bool HidRegisterRead(int handle, RegisterRequest& r) {
    if (!HidCommand(handle, kHidOpRegisterRead, r.reg, r.width, 0)) return false;
    uint8_t data[kHidDataLength] = {};
    if (!HidGetFeature(handle, kHidDataReportId, data, sizeof data)) return false;
    r.value = Le32(data);
    return true;
}

bool HidRegisterWrite(int handle, const RegisterRequest& r) {
    if (!HidCommand(handle, kHidOpRegisterWrite, 0, 0, 0)) return false;
    uint8_t data[kHidDataLength] = {r.reg, r.width};
    uint8_t value[4];
    PutLe32(value, r.value);
    std::memcpy(data + 2, value, r.width);
    return HidSetFeature(handle, kHidDataReportId, data, sizeof data);
}

bool HidBusWrite(const Transport& t, const BusRequest& r) {
    if (!HidCommand(t.hidHandle, kHidOpBusWrite, 0, 0, 0)) return false;
    uint8_t data[kHidDataLength] = {};
    BusWriteHeader(r, data);
    if (!HidSetFeature(t.hidHandle, kHidDataReportId, data, sizeof data)) return false;
    return !BusStatusFailed(t);
}

bool HidBusRead(const Transport& t, BusRequest& r) {
    if (CopiesWriteBytes(r) && !HidBusWrite(t, SubAddressOnly(r))) return false;
    if (!HidCommand(t.hidHandle, kHidOpBusRead, static_cast<uint8_t>(r.deviceAddress), r.readCount, 1))
        return false;
    std::memset(r.readBytes, 0, sizeof r.readBytes);
    if (!HidGetFeature(t.hidHandle, kHidDataReportId, r.readBytes, kHidDataLength)) return false;
    return !BusStatusFailed(t);
}

// --- Transports 3 and 4: KS property sets ---------------------------------------------------------

class KsBuffer {
  public:
    explicit KsBuffer(uint32_t size) : size_(size) {}
    uint8_t* payload() { return bytes_ + kKsPayload; }
    uint8_t* bytes() { return bytes_ + kKsBytes; }
    void Reset() { std::memset(bytes_, 0, sizeof bytes_); }
    bool Call(platform::KsControl* ks, const platform::Guid& set, uint32_t id, uint32_t flags) {
        std::memcpy(bytes_, set.bytes, 16);
        PutLe32(bytes_ + 16, id);
        PutLe32(bytes_ + 20, flags);
        uint32_t returned = 0;
        return Succeeded(ks->KsProperty(bytes_, size_, bytes_, size_, &returned));
    }

  private:
    uint8_t bytes_[kKsLarge] = {};
    uint32_t size_;
};

// Width code of the capture-bridge register select: 2 and 4 as they are, 1 for anything else.
uint32_t WidthCode(uint8_t width) { return width == 2 || width == 4 ? width : 1; }

bool KsCaptureSelect(platform::KsControl* ks, KsBuffer& buffer, const RegisterRequest& r) {
    buffer.Reset();
    PutLe32(buffer.payload(), static_cast<uint32_t>(r.reg) << 8 | WidthCode(r.width));
    return buffer.Call(ks, kCaptureBridgeSet, kKsRegisterSelect, kKsSet);
}

bool KsCaptureRegisterRead(platform::KsControl* ks, RegisterRequest& r) {
    KsBuffer buffer(kKsSmall);
    if (!KsCaptureSelect(ks, buffer, r)) return false;
    buffer.Reset();
    if (!buffer.Call(ks, kCaptureBridgeSet, kKsRegisterValue, kKsGet)) return false;
    r.value = Le32(buffer.payload());
    return true;
}

bool KsCaptureRegisterWrite(platform::KsControl* ks, const RegisterRequest& r) {
    KsBuffer buffer(kKsSmall);
    if (!KsCaptureSelect(ks, buffer, r)) return false;
    buffer.Reset();
    PutLe32(buffer.payload(), r.value);
    return buffer.Call(ks, kCaptureBridgeSet, kKsRegisterValue, kKsSet);
}

// Device, write count and read count at offsets 24, 28 and 32.
void KsBusHeader(KsBuffer& buffer, uint32_t device, uint32_t writeCount, uint32_t readCount) {
    PutLe32(buffer.payload(), device);
    PutLe32(buffer.payload() + 4, writeCount);
    PutLe32(buffer.payload() + 8, readCount);
}

bool KsCaptureBusRead(platform::KsControl* ks, BusRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusHeader(buffer, r.deviceAddress, r.writeCount, r.readCount);
    std::memcpy(buffer.bytes(), r.writeBytes, r.writeCount);
    if (!buffer.Call(ks, kCaptureBridgeSet, kKsBusSetup, kKsSet)) return false;
    buffer.Reset();
    if (!buffer.Call(ks, kCaptureBridgeSet, kKsBusData, kKsGet)) return false;
    std::memcpy(r.readBytes, buffer.bytes(), r.readCount);
    return true;
}

// Write bytes then data bytes from offset 36.
void KsBusPayload(KsBuffer& buffer, const BusRequest& r) {
    std::memcpy(buffer.bytes(), r.writeBytes, r.writeCount);
    std::memcpy(buffer.bytes() + r.writeCount, r.readBytes, r.readCount);
}

bool KsCaptureBusWrite(platform::KsControl* ks, const BusRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusPayload(buffer, r);
    KsBusHeader(buffer, r.deviceAddress, r.writeCount + r.readCount, 0);
    return buffer.Call(ks, kCaptureBridgeSet, kKsBusData, kKsSet);
}

bool KsReceiverRegisterRead(platform::KsControl* ks, RegisterRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusHeader(buffer, kKsBridgeDevice, 1, r.width);
    buffer.bytes()[0] = r.reg;
    if (!buffer.Call(ks, kReceiverBridgeSet, kKsReceiverProperty, kKsGet)) return false;
    uint8_t value[4];
    PutLe32(value, r.value);
    std::memcpy(value, buffer.bytes(), r.width);
    r.value = Le32(value);
    return true;
}

bool KsReceiverRegisterWrite(platform::KsControl* ks, const RegisterRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusHeader(buffer, kKsBridgeDevice, r.width + 1u, 0);
    buffer.bytes()[0] = r.reg;
    uint8_t value[4];
    PutLe32(value, r.value);
    std::memcpy(buffer.bytes() + 1, value, r.width);
    return buffer.Call(ks, kReceiverBridgeSet, kKsReceiverProperty, kKsSet);
}

bool KsReceiverBusRead(platform::KsControl* ks, BusRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusHeader(buffer, r.deviceAddress, r.writeCount, r.readCount);
    std::memcpy(buffer.bytes(), r.writeBytes, r.writeCount);
    if (!buffer.Call(ks, kReceiverBridgeSet, kKsReceiverProperty, kKsGet)) return false;
    std::memcpy(r.readBytes, buffer.bytes(), r.readCount);
    return true;
}

bool KsReceiverBusWrite(platform::KsControl* ks, const BusRequest& r) {
    KsBuffer buffer(kKsLarge);
    buffer.Reset();
    KsBusPayload(buffer, r);
    KsBusHeader(buffer, r.deviceAddress, r.writeCount + r.readCount, 0);
    return buffer.Call(ks, kReceiverBridgeSet, kKsReceiverProperty, kKsSet);
}

bool HandlePresent(const Transport& t) {
    switch (t.kind) {
        case TransportKind::uvcExtension:
            return t.extension != nullptr;
        case TransportKind::hid:
            return t.hidHandle >= 0;
        case TransportKind::ksCapture:
        case TransportKind::ksReceiver:
            return t.ks != nullptr;
        default:
            return false;
    }
}

}  // namespace

bool BusFits(TransportKind kind, size_t writeCount, size_t dataCount, bool read) {
    if (writeCount > kBusFieldMax || dataCount > kBusFieldMax) return false;
    switch (kind) {
        case TransportKind::uvcExtension:
            return true;
        case TransportKind::hid:
            // A read sends its sub-address as a bus write of its own first.
            return read ? writeCount <= kHidBusWriteMax && dataCount <= kHidBusReadMax
                        : writeCount + dataCount <= kHidBusWriteMax;
        case TransportKind::ksCapture:
        case TransportKind::ksReceiver:
            return read ? writeCount <= kKsBusMax && dataCount <= kKsBusMax
                        : writeCount + dataCount <= kKsBusMax;
        default:
            return false;
    }
}

bool BusStatusFailed(const Transport& transport) {
    RegisterRequest status;
    status.reg = kRegBusStatus;
    status.width = 1;
    if (!RegisterRead(transport, status)) return true;
    return (status.value & kBusStatusFailed) != 0;
}

bool RegisterRead(const Transport& t, RegisterRequest& r) {
    if (!ValidKind(t.kind) || !HandlePresent(t) || !ValidWidth(r.width)) return false;
    switch (t.kind) {
        case TransportKind::uvcExtension:
            return XuRegisterRead(t.extension, r);
        case TransportKind::hid:
            return HidRegisterRead(t.hidHandle, r);
        case TransportKind::ksCapture:
            return KsCaptureRegisterRead(t.ks, r);
        case TransportKind::ksReceiver:
            return KsReceiverRegisterRead(t.ks, r);
        default:
            return false;
    }
}

bool RegisterWrite(const Transport& t, const RegisterRequest& r) {
    if (!ValidKind(t.kind) || !HandlePresent(t) || !ValidWidth(r.width)) return false;
    switch (t.kind) {
        case TransportKind::uvcExtension:
            return XuRegisterWrite(t.extension, r);
        case TransportKind::hid:
            return HidRegisterWrite(t.hidHandle, r);
        case TransportKind::ksCapture:
            return KsCaptureRegisterWrite(t.ks, r);
        case TransportKind::ksReceiver:
            return KsReceiverRegisterWrite(t.ks, r);
        default:
            return false;
    }
}

bool BusRead(const Transport& t, BusRequest& r) {
    if (!ValidKind(t.kind) || !HandlePresent(t) || !BusFits(t.kind, r.writeCount, r.readCount, true))
        return false;
    switch (t.kind) {
        case TransportKind::uvcExtension:
            return XuBusRead(t, r);
        case TransportKind::hid:
            return HidBusRead(t, r);
        case TransportKind::ksCapture:
            return KsCaptureBusRead(t.ks, r);
        case TransportKind::ksReceiver:
            return KsReceiverBusRead(t.ks, r);
        default:
            return false;
    }
}

bool BusWrite(const Transport& t, const BusRequest& r) {
    if (!ValidKind(t.kind) || !HandlePresent(t) || !BusFits(t.kind, r.writeCount, r.readCount, false))
        return false;
    switch (t.kind) {
        case TransportKind::uvcExtension:
            return XuBusWrite(t, r);
        case TransportKind::hid:
            return HidBusWrite(t, r);
        case TransportKind::ksCapture:
            return KsCaptureBusWrite(t.ks, r);
        case TransportKind::ksReceiver:
            return KsReceiverBusWrite(t.ks, r);
        default:
            return false;
    }
}

}  // namespace devctl
