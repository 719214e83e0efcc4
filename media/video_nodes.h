#pragma once
// The system's V4L2 video nodes as sysfs lists them, each with a Windows-style device path that carries
// "vid_hhhh&pid_hhhh" for USB cameras, so that a camera's identity text matches it.
// Standard library and libc only: the device-probe library compiles this file too, and must find the
// devices exactly as the program does. No state; safe from any thread.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// The device-interface class GUID text used in the device paths of video inputs.
extern const char kVideoCaptureInterfaceGuid[];

// "\\?\usb#vid_eb1a&pid_2d80&mi_00#<instance>#{<interface class>}\global", lower-case hex ids.
std::string UsbDevicePath(uint16_t vendor_id, uint16_t product_id, int interface_number,
                          const std::string& instance, const std::string& interface_class);

// Where a video node sits on USB: its interface folder and the device folder above it.
struct UsbLocation {
    std::string interface_dir;
    std::string device_dir;
    int interface_number = 0;
};

// From the node's class folder (<root>/class/video4linux/videoN); nothing when the node is not on USB or
// the interface number cannot be read.
std::optional<UsbLocation> LocateUsb(const std::string& video_class_dir);

struct VideoNode {
    std::string name;           // "video0"
    std::string friendly_name;  // the driver's name for it, empty when unreadable
    std::string device_path;    // USB path as above, else "\\?\v4l#videoN#{<interface class>}\global"
};

// The main nodes under <sysfs_root>/class/video4linux in node-number order; a UVC camera's metadata node
// (index 1) is left out, since only index 0 streams pictures.
std::vector<VideoNode> ListVideoNodes(const std::string& sysfs_root);

}  // namespace platform
