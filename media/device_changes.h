#pragma once
// Capture devices going away and coming back, from whoever sees it: the udev monitor for V4L2 nodes, a
// provider for its own devices (the virtual camera's plug and unplug). Capture graphs listen to turn it
// into their device-lost events; the program may listen to tell its main window.
//
// A provider calls NotifyDeviceChange with the identity it lists the device under: removed when it is
// unplugged, arrived when it is back; graphs then post the same device-lost events as for a V4L2 node.
//
// Thread-safe. Listeners run on the notifying thread, must return at once (post, never send) and must not
// add or remove listeners; once RemoveDeviceChangeListener returns, the listener is not called any more.

#include <cstdint>
#include <functional>
#include <string>

namespace platform {

struct DeviceChange {
    std::string device_path;  // the device's identity ("DevicePath"); may be empty
    std::string node;         // /dev/videoN or the provider's own name
    bool arrived = false;     // false: removed
};

using DeviceChangeListener = std::function<void(const DeviceChange&)>;

// An id for RemoveDeviceChangeListener.
uint64_t AddDeviceChangeListener(DeviceChangeListener listener);
void RemoveDeviceChangeListener(uint64_t id);

void NotifyDeviceChange(const DeviceChange& change);

// The change concerns the device with this identity: same path when both have one, else same node.
bool ChangeConcerns(const DeviceChange& change, const std::string& device_path, const std::string& node);

}  // namespace platform
