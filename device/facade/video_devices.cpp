#include "device/facade/video_devices.h"

namespace devctl {

void ListCategoryDevices(platform::DeviceCategory category, VideoDeviceList& list) {
    list = VideoDeviceList{};
    for (const platform::MediaDeviceInfo& device : platform::ListDevices(category)) {
        if (list.count >= kVideoDeviceSlots) break;
        if (device.friendly_name.empty()) continue;
        if (device.device_path.size() >= kDeviceSlotChars) continue;
        list.friendlyNames[list.count] = device.friendly_name.substr(0, kDeviceSlotChars - 1);
        list.devicePaths[list.count] = device.device_path;
        ++list.count;
    }
}

std::unique_ptr<platform::MediaDevice> BindListedDevice(platform::DeviceCategory category,
                                                        const VideoDeviceList& list, size_t i) {
    if (i >= list.count) return nullptr;
    const std::string& key = list.devicePaths[i].empty() ? list.friendlyNames[i] : list.devicePaths[i];
    return platform::BindDeviceByPath(category, key);
}

}  // namespace devctl
