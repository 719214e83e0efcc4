#pragma once
// The devices of one category as the link opening walks them, and binding one by its device path.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "media/media_device.h"

namespace devctl {

inline constexpr size_t kVideoDeviceSlots = 24;
inline constexpr size_t kDeviceSlotChars = 512;  // including the terminator

struct VideoDeviceList {
    uint16_t count = 0;
    std::array<std::string, kVideoDeviceSlots> friendlyNames;
    std::array<std::string, kVideoDeviceSlots> devicePaths;
};

// Devices without a friendly name are skipped; at most 24 are listed. A name longer than its slot is
// cut; a device whose path does not fit its slot is skipped (a cut path could never be bound).
void ListCategoryDevices(platform::DeviceCategory category, VideoDeviceList& list);

// Binds listed device i: by its path, or by its friendly name when it has no path.
std::unique_ptr<platform::MediaDevice> BindListedDevice(platform::DeviceCategory category,
                                                        const VideoDeviceList& list, size_t i);

}  // namespace devctl
