#pragma once
// The system's own capture devices: V4L2 video nodes (main nodes only, not metadata nodes) and ALSA
// capture devices, found under the sysfs root (VELLUMO_SYSFS_ROOT, else "/sys", looked up at each call),
// device nodes under VELLUMO_DEV_ROOT (else "/dev"). Receiver components: none on Linux.

#include "media/media_device.h"

namespace platform {

class SystemDeviceProvider : public MediaDeviceProvider {
  public:
    std::vector<MediaDeviceInfo> List(DeviceCategory category) override;
    std::unique_ptr<MediaDevice> Bind(DeviceCategory category, const MediaDeviceInfo& info) override;
};

}  // namespace platform
