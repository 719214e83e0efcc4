#include "media/video_nodes.h"

#include <sys/stat.h>

#include <cstdio>

#include "media/sysfs.h"

namespace platform {
namespace {

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

const char kVideoCaptureInterfaceGuid[] = "{65e8773d-8f56-11d0-a3b9-00a0c9ba7bf2}";

std::string UsbDevicePath(uint16_t vendor_id, uint16_t product_id, int interface_number,
                          const std::string& instance, const std::string& interface_class) {
    char ids[64];
    std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x&mi_%02x", vendor_id, product_id,
                  interface_number & 0xFF);
    return std::string("\\\\?\\usb#") + ids + "#" + instance + "#" + interface_class + "\\global";
}

std::optional<UsbLocation> LocateUsb(const std::string& video_class_dir) {
    std::optional<std::string> interface_dir = ResolvedSysfsPath(video_class_dir + "/device");
    if (!interface_dir) return std::nullopt;
    std::optional<unsigned long> number = ReadSysfsHexAttribute(*interface_dir + "/bInterfaceNumber");
    std::string device_dir = Parent(*interface_dir);
    if (!number || !Exists(device_dir + "/idVendor")) return std::nullopt;
    return UsbLocation{*interface_dir, device_dir, static_cast<int>(*number)};
}

std::vector<VideoNode> ListVideoNodes(const std::string& sysfs_root) {
    std::vector<VideoNode> nodes;
    std::string class_dir = SysfsJoin(sysfs_root, "class/video4linux");
    for (const std::string& name : NumberedSysfsEntries(class_dir, "video")) {
        std::string dir = SysfsJoin(class_dir, name);
        std::optional<std::string> index = ReadSysfsAttribute(dir + "/index");
        if (index && *index != "0") continue;
        VideoNode node;
        node.name = name;
        node.friendly_name = ReadSysfsAttribute(dir + "/name").value_or("");
        if (std::optional<UsbLocation> usb = LocateUsb(dir)) {
            auto vendor =
                static_cast<uint16_t>(ReadSysfsHexAttribute(usb->device_dir + "/idVendor").value_or(0));
            auto product =
                static_cast<uint16_t>(ReadSysfsHexAttribute(usb->device_dir + "/idProduct").value_or(0));
            node.device_path = UsbDevicePath(vendor, product, usb->interface_number,
                                             BaseName(usb->device_dir), kVideoCaptureInterfaceGuid);
        } else {
            node.device_path = "\\\\?\\v4l#" + name + "#" + kVideoCaptureInterfaceGuid + "\\global";
        }
        nodes.push_back(std::move(node));
    }
    return nodes;
}

}  // namespace platform
