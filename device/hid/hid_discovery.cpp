#include "device/hid/hid_discovery.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

#include "platform/debuglog/debuglog.h"

namespace devctl {
namespace {

constexpr size_t kInitialCapacity = 8;
constexpr size_t kDebugLineSize = 70;

void DebugLine(const char* format, int value) {
    char line[kDebugLineSize];  // cut when longer, as the fixed buffer did
    std::snprintf(line, sizeof line, format, value);
    platform::DebugLog("hid", "%s", line);
}

}  // namespace

HidDeviceList::HidDeviceList()
    : records_(std::make_unique<HidDeviceRecord[]>(kInitialCapacity)), capacity_(kInitialCapacity) {}

void HidDeviceList::Append(HidDeviceRecord record) {
    if (size_ == capacity_) {
        size_t grown = capacity_ * 2;
        auto bigger = std::make_unique<HidDeviceRecord[]>(grown);
        for (size_t i = 0; i < size_; ++i) bigger[i] = std::move(records_[i]);
        records_ = std::move(bigger);
        capacity_ = grown;
    }
    records_[size_++] = std::move(record);
}

bool FillDeviceInfo(HidDeviceRecord& record) {
    using platform::HidReportType;
    const HidReportType types[] = {HidReportType::Input, HidReportType::Output, HidReportType::Feature};
    for (HidReportType type : types) {
        size_t t = platform::HidTypeIndex(type);
        HidReportInfo& info = record.reports[t];
        const platform::HidCaps& caps = record.layout.caps;
        if (caps.number_button_caps[t] > record.layout.button_caps[t].size() ||
            caps.number_value_caps[t] > record.layout.value_caps[t].size())
            return false;
        info.reportBuffer.assign(caps.report_byte_length[t], 0);
        info.buttonCaps.assign(record.layout.button_caps[t].begin(),
                               record.layout.button_caps[t].begin() + caps.number_button_caps[t]);
        info.valueCaps.assign(record.layout.value_caps[t].begin(),
                              record.layout.value_caps[t].begin() + caps.number_value_caps[t]);

        uint16_t numValues = 0;  // a 16-bit sum, as the data-list length field is
        for (const platform::HidValueCaps& value : info.valueCaps)
            numValues = static_cast<uint16_t>(numValues +
                                              (value.is_range ? value.usage_max - value.usage_min + 1 : 1));
        info.data.clear();
        info.data.reserve(numValues + info.buttonCaps.size());

        for (const platform::HidButtonCaps& button : info.buttonCaps) {
            HidDataItem item;
            item.isButtonData = true;
            item.status = kHidpStatusSuccess;
            item.usagePage = button.usage_page;
            item.usageMin = button.usage_min;
            item.usageMax = button.is_range ? button.usage_max : button.usage_min;
            item.maxUsageLength = platform::MaxUsageListLength(record.layout, type, button.usage_page);
            item.usages.assign(item.maxUsageLength, 0);
            item.reportId = button.report_id;
            info.data.push_back(std::move(item));
        }

        if (type == HidReportType::Feature) {
            DebugLine("FillDeviceInfo numValues step1: %d", numValues);
            if (numValues > info.valueCaps.size()) numValues = static_cast<uint16_t>(info.valueCaps.size());
            DebugLine("FillDeviceInfo numValues step2: %d", numValues);
        }

        size_t made = 0;
        for (const platform::HidValueCaps& value : info.valueCaps) {
            uint32_t last = value.is_range ? value.usage_max : value.usage_min;
            for (uint32_t usage = value.usage_min; usage <= last && made < numValues; ++usage, ++made) {
                HidDataItem item;
                item.status = kHidpStatusSuccess;
                item.usagePage = value.usage_page;
                item.usage = static_cast<uint16_t>(usage);
                item.reportId = value.report_id;
                info.data.push_back(std::move(item));
            }
        }
    }
    return true;
}

bool DiscoverHidDevices(HidDeviceList& list) {
    platform::HidBackend& backend = platform::CurrentHidBackend();
    for (const std::string& path : backend.EnumerateInterfaces()) {
        // Many hidraw nodes belong to other devices; one that cannot be examined must not hide the camera.
        std::optional<platform::HidInterfaceInfo> info = backend.Examine(path);
        if (!info) continue;
        std::optional<platform::HidReportLayout> layout =
            platform::ParseReportDescriptor(info->report_descriptor);
        if (!layout) {
            platform::DebugLog("hid", "unreadable report descriptor on %s", path.c_str());
            continue;
        }
        HidDeviceRecord record;
        record.devicePath = path;
        record.layout = std::move(*layout);
        record.attributes = std::move(*info);
        if (!FillDeviceInfo(record)) continue;
        list.Append(std::move(record));
    }
    return true;
}

bool IsBridgeInterface(const HidDeviceRecord& record) {
    if (record.attributes.vendor_id != kBridgeVendorId || record.attributes.product_id != kBridgeProductId)
        return false;
    bool command = false;
    bool data = false;
    for (const platform::HidValueCaps& value : record.feature().valueCaps) {
        command = command || value.report_id == kHidCommandReportId;
        data = data || value.report_id == kHidDataReportId;
    }
    return command && data;
}

int HidOpenBridge(bool* refused) {
    if (refused != nullptr) *refused = false;
    HidDeviceList list;
    if (!DiscoverHidDevices(list)) return kNoHidHandle;
    for (size_t i = 0; i < list.Size(); ++i) {
        if (!IsBridgeInterface(list[i])) continue;
        int handle = platform::CurrentHidBackend().Open(list[i].devicePath);
        if (handle < 0 && refused != nullptr) *refused = errno == EACCES || errno == EPERM;
        return handle >= 0 ? handle : kNoHidHandle;
    }
    return kNoHidHandle;
}

bool HidSetFeature(int handle, uint8_t reportId, const uint8_t* payload, size_t length) {
    if (handle < 0 || length > kHidMaxPayload) return false;
    uint8_t buffer[platform::kHidTransferSize] = {};
    buffer[0] = reportId;
    if (length > 0) std::memcpy(buffer + 1, payload, length);
    return platform::CurrentHidBackend().SetFeature(handle, buffer, length + 1);
}

bool HidGetFeature(int handle, uint8_t reportId, uint8_t* dest, size_t length) {
    if (handle < 0 || length > kHidMaxPayload) return false;
    uint8_t buffer[platform::kHidTransferSize] = {};
    buffer[0] = reportId;
    if (!platform::CurrentHidBackend().GetFeature(handle, buffer, length + 1)) return false;
    if (length > 0) std::memcpy(dest, buffer + 1, length);
    return true;
}

void HidCloseBridge(int handle) {
    if (handle >= 0) platform::CurrentHidBackend().Close(handle);
}

}  // namespace devctl
