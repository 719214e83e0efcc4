#include "virtualcam/chip/endpoints.h"

#include <linux/usb/video.h>

#include <cerrno>
#include <cstring>

namespace virtualcam {
namespace {

// Written independently of the program's protocol code on purpose: the emulation checks that code.
constexpr int32_t kOk = 0;
constexpr int32_t kSetNotFound = static_cast<int32_t>(0x80070492u);
constexpr int32_t kInvalid = static_cast<int32_t>(0x80070057u);
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);
constexpr uint32_t kGet = 1;
constexpr uint32_t kSet = 2;
constexpr size_t kKsHeader = 24;
constexpr size_t kKsSmall = 32;
constexpr size_t kKsLarge = 104;
constexpr size_t kKsBusBytes = kKsLarge - 36;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t LowBytes(uint32_t value, uint8_t width) {
    return width >= 4 ? value : value & ((1u << (8 * width)) - 1);
}

// The bus write header shared by the HID and extension-unit paths: {device, count, stop, bytes...}.
bool HeaderBusWrite(BridgeChip& chip, const uint8_t* header, size_t available) {
    size_t count = header[1];
    if (3 + count > available) return false;
    return chip.BusWrite(header[0], header + 3, count);
}

// The KSPROPERTY header of a call, logged with the payload that follows it.
struct KsCall {
    platform::Guid set;
    uint32_t id = 0;
    uint32_t flags = 0;
    uint8_t* buffer = nullptr;
};

bool ReadKsCall(void* property, uint32_t property_length, void* data, uint32_t data_length, WireLog& log,
                const char* channel, KsCall* call) {
    if (property == nullptr || data == nullptr || property_length < kKsHeader) return false;
    auto* header = static_cast<uint8_t*>(property);
    std::memcpy(call->set.bytes, header, 16);
    call->id = Le32(header + 16);
    call->flags = Le32(header + 20);
    call->buffer = static_cast<uint8_t*>(data);
    const char* op = call->flags == kGet ? "get" : call->flags == kSet ? "set" : "?";
    log.Add(channel, TransferText(op, call->id, data_length, call->buffer + kKsHeader,
                                  data_length > kKsHeader ? data_length - kKsHeader : 0));
    return true;
}

}  // namespace

const platform::Guid kCaptureBridgePropertySet =
    platform::GuidFromString("{85548EFB-86C8-4E57-B2FA-802B1B86C2AA}");
const platform::Guid kReceiverBridgePropertySet =
    platform::GuidFromString("{846A4C4E-76D8-42EC-A333-121F365A4DA8}");

std::vector<uint8_t> HidEndpoint::ReportDescriptor() {
    return {
        0x06, 0x00, 0xFF,  // Usage Page (vendor 0xFF00)
        0x09, 0x01,        // Usage (1)
        0xA1, 0x01,        // Collection (Application)
        0x15, 0x00,        //   Logical Minimum (0)
        0x26, 0xFF, 0x00,  //   Logical Maximum (255)
        0x75, 0x08,        //   Report Size (8)
        0x85, 0x87,        //   Report ID (0x87)
        0x95, 0x04,        //   Report Count (4)
        0x09, 0x02,        //   Usage (2)
        0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
        0x85, 0x93,        //   Report ID (0x93)
        0x95, 0x28,        //   Report Count (40)
        0x09, 0x03,        //   Usage (3)
        0xB1, 0x02,        //   Feature (Data, Variable, Absolute)
        0xC0,              // End Collection
    };
}

bool HidEndpoint::SetFeature(const uint8_t* report, size_t length) {
    if (length == 0) return false;
    uint8_t id = report[0];
    log_.Add("hid", TransferText("set", id, length - 1, report + 1, length - 1));
    if (!chip_.Responding()) return false;
    if (id == kCommandReport) {
        if (length != kCommandPayload + 1) return false;
        std::memcpy(command_, report + 1, kCommandPayload);
        armed_ = true;
        return true;
    }
    if (id != kDataReport || length != kDataPayload + 1 || !armed_) return false;
    armed_ = false;
    const uint8_t* data = report + 1;
    switch (command_[0]) {
        case 0x01:  // register write: {register, width, value...}
            if (data[1] < 1 || data[1] > 4) return false;
            chip_.WriteRegister(data[0], data[1], LowBytes(Le32(data + 2), data[1]));
            return true;
        case 0x03:  // bus write
            HeaderBusWrite(chip_, data, kDataPayload);
            return true;  // the transfer itself went through; register 5 tells how the bus went
        default:
            return false;
    }
}

bool HidEndpoint::GetFeature(uint8_t* report, size_t length) {
    if (length == 0) return false;
    uint8_t id = report[0];
    log_.Add("hid", TransferText("get", id, length - 1, nullptr, 0));
    if (!chip_.Responding()) return false;
    if (id == kCommandReport) {
        if (length != kCommandPayload + 1) return false;
        std::memcpy(report + 1, command_, kCommandPayload);
        return true;
    }
    if (id != kDataReport || length != kDataPayload + 1 || !armed_) return false;
    armed_ = false;
    uint8_t* data = report + 1;
    std::memset(data, 0, kDataPayload);
    switch (command_[0]) {
        case 0x00:  // register read: {0, register, width, 0}
            if (command_[2] < 1 || command_[2] > 4) return false;
            PutLe32(data, chip_.ReadRegister(command_[1], command_[2]));
            return true;
        case 0x02:  // bus read: {2, device, count, 1}
            if (command_[2] > kDataPayload) return false;
            chip_.BusRead(command_[1], data, command_[2]);
            return true;
        default:
            return false;
    }
}

int XuEndpoint::QueryThunk(void* context, uint8_t unit, uint8_t selector, uint8_t query, uint16_t size,
                           uint8_t* data) {
    return static_cast<XuEndpoint*>(context)->Query(unit, selector, query, size, data);
}

namespace {
// Control lengths of selectors 1..5 (GET_LEN).
uint16_t SelectorLength(uint8_t selector) {
    switch (selector) {
        case 1:
            return 1;
        case 2:
            return 4;
        case 3:
            return 6;
        case 4:
            return 64;
        case 5:
            return 131;
        default:
            return 0;
    }
}
}  // namespace

int XuEndpoint::Query(uint8_t unit, uint8_t selector, uint8_t query, uint16_t size, uint8_t* data) {
    uint16_t control_length = SelectorLength(selector);
    if (unit != kExtensionUnitId || control_length == 0) return ENOENT;
    if (!chip_.Responding()) return EPIPE;
    switch (query) {
        case UVC_GET_INFO:
            if (size != 1) return EINVAL;
            data[0] = 0x03;  // supports GET and SET
            return 0;
        case UVC_GET_LEN:
            if (size != 2) return EINVAL;
            data[0] = static_cast<uint8_t>(control_length);
            data[1] = static_cast<uint8_t>(control_length >> 8);
            return 0;
        case UVC_SET_CUR:
            if (size != control_length) return EINVAL;
            return Set(selector, size, data);
        case UVC_GET_CUR:
            if (size != control_length) return EINVAL;
            return Get(selector, size, data);
        default:
            return EINVAL;
    }
}

int XuEndpoint::Set(uint8_t selector, uint16_t size, const uint8_t* data) {
    // Selector 1 gives the number of meaningful bytes in the set that follows.
    size_t meaningful = selector == 1 ? 1 : length_;
    log_.Add(channel_,
             TransferText("set", selector, meaningful, data, meaningful <= size ? meaningful : size));
    if (meaningful > size) return EINVAL;
    switch (selector) {
        case 1:
            length_ = data[0];
            return 0;
        case 2:
            if (length_ != 2 || data[1] < 1 || data[1] > 4) return EINVAL;
            read_register_ = data[0];
            read_width_ = data[1];
            return 0;
        case 3:
            if (data[1] < 1 || data[1] > 4 || length_ != data[1] + 2) return EINVAL;
            chip_.WriteRegister(data[0], data[1], LowBytes(Le32(data + 2), data[1]));
            return 0;
        case 4:
            if (length_ != 3) return EINVAL;
            bus_device_ = data[0];
            bus_count_ = data[1];
            return 0;
        case 5:
            if (length_ != data[1] + 3) return EINVAL;
            HeaderBusWrite(chip_, data, size);
            return 0;
        default:
            return EINVAL;
    }
}

int XuEndpoint::Get(uint8_t selector, uint16_t size, uint8_t* data) {
    log_.Add(channel_, TransferText("get", selector, size, nullptr, 0));
    std::memset(data, 0, size);
    switch (selector) {
        case 1:
            data[0] = length_;
            return 0;
        case 2:
            if (read_width_ == 0) return EINVAL;
            PutLe32(data, chip_.ReadRegister(read_register_, read_width_));
            return 0;
        case 4:
            if (bus_count_ > size) return EINVAL;
            chip_.BusRead(bus_device_, data, bus_count_);
            return 0;
        default:
            return EINVAL;
    }
}

int32_t KsCaptureEndpoint::KsProperty(void* property, uint32_t property_length, void* data,
                                      uint32_t data_length, uint32_t* bytes_returned) {
    KsCall call;
    if (!ReadKsCall(property, property_length, data, data_length, log_, "ks-capture", &call)) return kInvalid;
    if (!chip_.Responding()) return kFailed;
    auto [set, id, flags, buffer] = call;
    if (set != kCaptureBridgePropertySet) return kSetNotFound;
    if (bytes_returned != nullptr) *bytes_returned = 0;
    uint8_t* payload = buffer + kKsHeader;
    if (id == 0x1005 || id == 0x1006) {
        if (data_length != kKsSmall) return kInvalid;
        if (id == 0x1005 && flags == kSet) {
            uint32_t code = Le32(payload);
            register_ = static_cast<uint8_t>(code >> 8);
            uint8_t width_code = static_cast<uint8_t>(code & 0xFF);
            width_ = width_code == 2 || width_code == 4 ? width_code : 1;
        } else if (id == 0x1006 && flags == kGet) {
            // The capture driver answers with the whole 32-bit word from the selected register on.
            PutLe32(payload, chip_.ReadRegister(register_, 4));
        } else if (id == 0x1006 && flags == kSet) {
            chip_.WriteRegister(register_, width_, Le32(payload));
        } else {
            return kInvalid;
        }
    } else if (id == 0x1029 || id == 0x102A) {
        if (data_length != kKsLarge) return kInvalid;
        uint32_t write_count = Le32(payload + 4);
        uint32_t read_count = Le32(payload + 8);
        if (id == 0x1029 && flags == kSet) {
            if (write_count > kKsBusBytes || read_count > kKsBusBytes) return kInvalid;
            if (write_count > 0 && !chip_.BusWrite(payload[0], payload + 12, write_count)) return kFailed;
            bus_device_ = payload[0];
            bus_count_ = read_count;
        } else if (id == 0x102A && flags == kGet) {
            std::memset(payload + 12, 0, kKsBusBytes);
            if (!chip_.BusRead(bus_device_, payload + 12, bus_count_)) return kFailed;
        } else if (id == 0x102A && flags == kSet) {
            if (write_count > kKsBusBytes) return kInvalid;
            if (!chip_.BusWrite(payload[0], payload + 12, write_count)) return kFailed;
        } else {
            return kInvalid;
        }
    } else {
        return kSetNotFound;
    }
    if (bytes_returned != nullptr) *bytes_returned = data_length;
    return kOk;
}

int32_t KsReceiverEndpoint::KsProperty(void* property, uint32_t property_length, void* data,
                                       uint32_t data_length, uint32_t* bytes_returned) {
    KsCall call;
    if (!ReadKsCall(property, property_length, data, data_length, log_, "ks-receiver", &call))
        return kInvalid;
    if (!chip_.Responding()) return kFailed;
    auto [set, id, flags, buffer] = call;
    if (set != kReceiverBridgePropertySet || id != 0x1036) return kSetNotFound;
    if (data_length != kKsLarge) return kInvalid;
    if (bytes_returned != nullptr) *bytes_returned = 0;
    uint8_t* payload = buffer + kKsHeader;
    uint32_t device = Le32(payload);
    uint32_t write_count = Le32(payload + 4);
    uint32_t read_count = Le32(payload + 8);
    uint8_t* bytes = payload + 12;
    if (write_count > kKsBusBytes || read_count > kKsBusBytes) return kInvalid;
    if (device == 0xFF) {  // the bridge's own registers
        if (write_count < 1) return kInvalid;
        if (flags == kGet) {
            if (read_count < 1 || read_count > 4) return kInvalid;
            uint32_t value = chip_.ReadRegister(bytes[0], static_cast<uint8_t>(read_count));
            std::memset(bytes, 0, kKsBusBytes);
            for (uint32_t i = 0; i < read_count; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
        } else if (flags == kSet) {
            uint32_t width = write_count - 1;
            if (width < 1 || width > 4) return kInvalid;
            uint32_t value = 0;
            for (uint32_t i = 0; i < width; ++i) value |= static_cast<uint32_t>(bytes[1 + i]) << (8 * i);
            chip_.WriteRegister(bytes[0], static_cast<uint8_t>(width), value);
        } else {
            return kInvalid;
        }
    } else if (flags == kGet) {
        if (write_count > 0 && !chip_.BusWrite(static_cast<uint8_t>(device), bytes, write_count))
            return kFailed;
        std::memset(bytes, 0, kKsBusBytes);
        if (!chip_.BusRead(static_cast<uint8_t>(device), bytes, read_count)) return kFailed;
    } else if (flags == kSet) {
        if (!chip_.BusWrite(static_cast<uint8_t>(device), bytes, write_count)) return kFailed;
    } else {
        return kInvalid;
    }
    if (bytes_returned != nullptr) *bytes_returned = data_length;
    return kOk;
}

}  // namespace virtualcam
