#include "platform/media/system_devices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/uvc/uvc_descriptors.h"

namespace platform {
namespace {

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

std::string SysfsRoot() { return EnvOr("VELLUMO_SYSFS_ROOT", "/sys"); }
std::string DevRoot() { return EnvOr("VELLUMO_DEV_ROOT", "/dev"); }

std::optional<std::string> ReadAttribute(const std::string& path) {
    std::optional<std::string> text = ReadFile(path);
    if (!text) return std::nullopt;
    while (!text->empty() && (text->back() == '\n' || text->back() == ' ' || text->back() == '\0')) text->pop_back();
    return text;
}

std::optional<unsigned long> ReadHexAttribute(const std::string& path) {
    std::optional<std::string> text = ReadAttribute(path);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long value = std::strtoul(text->c_str(), &end, 16);
    if (*end != '\0') return std::nullopt;
    return value;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

// Entries of a folder whose names start with prefix, sorted by the number that follows it.
std::vector<std::string> NumberedEntries(const std::string& folder, const std::string& prefix) {
    std::vector<std::pair<long, std::string>> found;
    for (std::string& name : FolderEntries(folder).value_or(std::vector<std::string>())) {
        if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) continue;
        long number = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        found.emplace_back(number, std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found) names.push_back(entry.second);
    return names;
}

// The USB interface folder of a video node and the USB device folder above it.
struct UsbLocation {
    std::string interface_dir;
    std::string device_dir;
    int interface_number = 0;
};

std::optional<UsbLocation> LocateUsb(const std::string& video_class_dir) {
    std::optional<std::string> interface_dir = RealPath(video_class_dir + "/device");
    if (!interface_dir) return std::nullopt;
    std::optional<unsigned long> number = ReadHexAttribute(*interface_dir + "/bInterfaceNumber");
    std::string device_dir = Parent(*interface_dir);
    if (!number || !GetFileAttributes(device_dir + "/idVendor")) return std::nullopt;
    return UsbLocation{*interface_dir, device_dir, static_cast<int>(*number)};
}

const Guid& NodeTypeOf(UvcEntityKind kind) {
    switch (kind) {
        case UvcEntityKind::InputTerminal: return kNodeTypeVideoCameraTerminal;
        case UvcEntityKind::OutputTerminal: return kNodeTypeVideoOutputTerminal;
        case UvcEntityKind::SelectorUnit: return kNodeTypeVideoSelector;
        case UvcEntityKind::ProcessingUnit: return kNodeTypeVideoProcessing;
        case UvcEntityKind::ExtensionUnit: return kNodeTypeDevSpecific;
        case UvcEntityKind::EncodingUnit: return kNodeTypeVideoEncoding;
    }
    return kNodeTypeVideoProcessing;
}

// Topology of a UVC camera: one node per unit and terminal of its video-control interface.
class UvcTopology : public KsTopologyInfo {
public:
    UvcTopology(std::string device_node, std::vector<UvcEntity> entities)
        : device_node_(std::move(device_node)), entities_(std::move(entities)) {}

    bool GetNumNodes(uint32_t* count) override {
        *count = static_cast<uint32_t>(entities_.size());
        return true;
    }
    bool GetNodeType(uint32_t index, Guid* type) override {
        if (index >= entities_.size()) return false;
        *type = NodeTypeOf(entities_[index].kind);
        return true;
    }
    bool CreateNodeInstance(uint32_t index, UvcXuNode* node) override {
        if (index >= entities_.size() || entities_[index].kind != UvcEntityKind::ExtensionUnit) return false;
        if (device_node_.size() >= sizeof node->device_node) return false;
        *node = UvcXuNode{};
        std::memcpy(node->device_node, device_node_.c_str(), device_node_.size() + 1);
        node->unit_id = entities_[index].id;
        return true;
    }

private:
    std::string device_node_;
    std::vector<UvcEntity> entities_;
};

class SystemDevice : public MediaDevice {
public:
    SystemDevice(MediaDeviceInfo info, std::unique_ptr<UvcTopology> topology)
        : info_(std::move(info)), topology_(std::move(topology)) {}
    const MediaDeviceInfo& Info() const override { return info_; }
    KsTopologyInfo* QueryTopology() override { return topology_.get(); }

private:
    MediaDeviceInfo info_;
    std::unique_ptr<UvcTopology> topology_;
};

std::vector<MediaDeviceInfo> ListVideo() {
    std::vector<MediaDeviceInfo> devices;
    std::string class_dir = JoinPath(SysfsRoot(), "class/video4linux");
    for (const std::string& name : NumberedEntries(class_dir, "video")) {
        std::string dir = JoinPath(class_dir, name);
        // A UVC camera has a second (metadata) node with index 1; only index 0 streams pictures.
        std::optional<std::string> index = ReadAttribute(dir + "/index");
        if (index && *index != "0") continue;
        MediaDeviceInfo info;
        info.friendly_name = ReadAttribute(dir + "/name").value_or("");
        info.node = JoinPath(DevRoot(), name);
        if (std::optional<UsbLocation> usb = LocateUsb(dir)) {
            uint16_t vendor = static_cast<uint16_t>(ReadHexAttribute(usb->device_dir + "/idVendor").value_or(0));
            uint16_t product = static_cast<uint16_t>(ReadHexAttribute(usb->device_dir + "/idProduct").value_or(0));
            info.device_path = UsbDevicePath(vendor, product, usb->interface_number, BaseName(usb->device_dir),
                                             kVideoCaptureInterfaceGuid);
        } else {
            info.device_path = std::string("\\\\?\\v4l#") + name + "#" + kVideoCaptureInterfaceGuid + "\\global";
        }
        devices.push_back(std::move(info));
    }
    return devices;
}

std::vector<MediaDeviceInfo> ListAudio() {
    std::vector<MediaDeviceInfo> devices;
    std::string class_dir = JoinPath(SysfsRoot(), "class/sound");
    for (const std::string& name : NumberedEntries(class_dir, "pcmC")) {
        int card = 0, device = 0;
        char direction = 0;
        if (std::sscanf(name.c_str(), "pcmC%dD%d%c", &card, &device, &direction) != 3 || direction != 'c') continue;
        MediaDeviceInfo info;
        std::string card_id =
            ReadAttribute(JoinPath(class_dir, "card" + std::to_string(card)) + "/id").value_or("card" + std::to_string(card));
        info.friendly_name = device == 0 ? card_id : card_id + " #" + std::to_string(device);
        info.node = "hw:" + std::to_string(card) + "," + std::to_string(device);
        info.device_path = "\\\\?\\alsa#" + info.node;
        devices.push_back(std::move(info));
    }
    return devices;
}

std::unique_ptr<UvcTopology> TopologyOf(const MediaDeviceInfo& info) {
    std::string dir = JoinPath(JoinPath(SysfsRoot(), "class/video4linux"), BaseName(info.node));
    std::optional<UsbLocation> usb = LocateUsb(dir);
    if (!usb) return nullptr;
    std::optional<std::string> raw = ReadFile(usb->device_dir + "/descriptors");
    if (!raw) return nullptr;
    auto entities = ParseVideoControlEntities(reinterpret_cast<const uint8_t*>(raw->data()), raw->size(),
                                              static_cast<uint8_t>(usb->interface_number));
    if (!entities) {
        DebugLog("media", "no video-control interface %d in %s", usb->interface_number, usb->device_dir.c_str());
        return nullptr;
    }
    return std::make_unique<UvcTopology>(info.node, std::move(*entities));
}

}  // namespace

std::vector<MediaDeviceInfo> SystemDeviceProvider::List(DeviceCategory category) {
    switch (category) {
        case DeviceCategory::VideoInput: return ListVideo();
        case DeviceCategory::AudioInput: return ListAudio();
        case DeviceCategory::ReceiverComponent: return {};
    }
    return {};
}

std::unique_ptr<MediaDevice> SystemDeviceProvider::Bind(DeviceCategory category, const MediaDeviceInfo& info) {
    std::unique_ptr<UvcTopology> topology;
    if (category == DeviceCategory::VideoInput) topology = TopologyOf(info);
    return std::make_unique<SystemDevice>(info, std::move(topology));
}

}  // namespace platform
