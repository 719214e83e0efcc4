#pragma once
// What the virtual camera shows of itself to whoever lists devices: its USB identity, the video device
// path it is listed under, and whether the environment asks for it. Header-only on purpose: programs that
// must not link the virtual camera (the device-probe library) see exactly the same.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "media/video_nodes.h"

namespace virtualcam {

// The camera's USB identity and the identity text that matches its device path.
inline constexpr uint16_t kVendorId = 0xEB1A;
inline constexpr uint16_t kProductId = 0x2D80;
inline constexpr const char kIdentityText[] = "vid_eb1a&pid_2d80";
inline constexpr const char kInstance[] = "vellumo&virtual&0&0000";

// VELLUMO_VIRTUALCAM set to anything but empty or "0".
inline bool RequestedByEnvironment() {
    const char* enabled = std::getenv("VELLUMO_VIRTUALCAM");
    return enabled != nullptr && enabled[0] != '\0' && std::string_view(enabled) != "0";
}

// The camera's video device path ("DevicePath").
inline std::string CameraDevicePath() {
    return platform::UsbDevicePath(kVendorId, kProductId, 0, kInstance, platform::kVideoCaptureInterfaceGuid);
}

}  // namespace virtualcam
