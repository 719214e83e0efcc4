#pragma once
// Finding the camera bridge's vendor HID interface and moving feature reports to and from it.
// The interface is the first HID interface that carries the shipped camera's USB identity and whose
// feature value capabilities carry both report ID 0x87 (command) and 0x93 (data). The identity comes
// first: another device with the same report layout must never receive register writes.
// Not thread-safe; the device-control facade calls it under its mutex.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/hid/hid_device.h"
#include "platform/hid/report_descriptor.h"

namespace devctl {

inline constexpr int kNoHidHandle = -1;
inline constexpr uint8_t kHidCommandReportId = 0x87;
inline constexpr uint8_t kHidDataReportId = 0x93;
inline constexpr size_t kHidMaxPayload = platform::kHidTransferSize - 1;
// The shipped camera's USB identity (vid_eb1a&pid_2d80), which its HID interface carries too.
inline constexpr uint16_t kBridgeVendorId = 0xEB1A;
inline constexpr uint16_t kBridgeProductId = 0x2D80;

struct HidDataItem {
    bool isButtonData = false;
    uint8_t reserved = 0;
    uint16_t usagePage = 0;
    uint32_t status = 0;  // HIDP_STATUS_SUCCESS
    uint32_t reportId = 0;
    uint32_t isDataSet = 0;
    // buttons
    uint32_t usageMin = 0;
    uint32_t usageMax = 0;
    uint32_t maxUsageLength = 0;
    std::vector<uint16_t> usages;
    // values
    uint16_t usage = 0;
    uint32_t value = 0;
    uint32_t scaledValue = 0;
};

inline constexpr uint32_t kHidpStatusSuccess = 0x00110000;

// What discovery learns of one report type.
struct HidReportInfo {
    std::vector<uint8_t> reportBuffer;  // zeroed, the report's byte length
    std::vector<HidDataItem> data;
    std::vector<platform::HidButtonCaps> buttonCaps;
    std::vector<platform::HidValueCaps> valueCaps;
};

// One HID interface found during discovery. Its resources are owned and released with it.
struct HidDeviceRecord {
    std::string devicePath;
    // Discovery examines interfaces through sysfs and opens none of them.
    int handle = kNoHidHandle;
    bool openedForRead = false, openedForWrite = false, openedOverlapped = false, openedExclusive = false;
    platform::HidReportLayout layout;  // stands for the preparsed data and the caps
    platform::HidInterfaceInfo attributes;
    std::array<HidReportInfo, platform::kHidReportTypeCount> reports;

    const platform::HidCaps& caps() const { return layout.caps; }
    const HidReportInfo& feature() const {
        return reports[platform::HidTypeIndex(platform::HidReportType::Feature)];
    }
};

// The discovery list: room for 8 records at first, doubled whenever it is full.
class HidDeviceList {
  public:
    HidDeviceList();
    void Append(HidDeviceRecord record);
    size_t Size() const { return size_; }
    size_t Capacity() const { return capacity_; }
    const HidDeviceRecord& operator[](size_t i) const { return records_[i]; }

  private:
    std::unique_ptr<HidDeviceRecord[]> records_;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

// Builds the report buffers, capability arrays and data lists of the three report types from the
// record's layout. False when the layout is inconsistent (more capabilities announced than present).
bool FillDeviceInfo(HidDeviceRecord& record);

// Enumerates every HID interface into the list. Interfaces that cannot be examined are skipped.
bool DiscoverHidDevices(HidDeviceList& list);

// Whether a record carries the shipped camera's USB identity and its feature value capabilities carry
// both 0x87 and 0x93.
bool IsBridgeInterface(const HidDeviceRecord& record);

// Finds the bridge's interface and opens it for reading and writing; kNoHidHandle when none. `refused`
// (when given) tells whether the interface was found but this user may not open it.
int HidOpenBridge(bool* refused = nullptr);

// Feature transfers through a 65-byte buffer: report ID in byte 0, then the payload (at most 64 bytes).
// Get copies exactly length payload bytes and leaves dest untouched on failure.
bool HidSetFeature(int handle, uint8_t reportId, const uint8_t* payload, size_t length);
bool HidGetFeature(int handle, uint8_t reportId, uint8_t* dest, size_t length);
void HidCloseBridge(int handle);

}  // namespace devctl
