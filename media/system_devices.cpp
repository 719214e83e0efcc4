#include "media/system_devices.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "media/sysfs.h"
#include "media/uvc/uvc_descriptors.h"
#include "media/video_nodes.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace platform {
namespace {

std::string DevRoot() {
    const char* value = std::getenv("VELLUMO_DEV_ROOT");
    return value != nullptr && value[0] != '\0' ? value : "/dev";
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const Guid& NodeTypeOf(UvcEntityKind kind) {
    switch (kind) {
        case UvcEntityKind::InputTerminal:
            return kNodeTypeVideoCameraTerminal;
        case UvcEntityKind::OutputTerminal:
            return kNodeTypeVideoOutputTerminal;
        case UvcEntityKind::SelectorUnit:
            return kNodeTypeVideoSelector;
        case UvcEntityKind::ProcessingUnit:
            return kNodeTypeVideoProcessing;
        case UvcEntityKind::ExtensionUnit:
            return kNodeTypeDevSpecific;
        case UvcEntityKind::EncodingUnit:
            return kNodeTypeVideoEncoding;
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
    for (VideoNode& node : ListVideoNodes(SysfsRoot())) {
        devices.push_back(
            {std::move(node.friendly_name), std::move(node.device_path), JoinPath(DevRoot(), node.name)});
    }
    return devices;
}

std::vector<MediaDeviceInfo> ListAudio() {
    std::vector<MediaDeviceInfo> devices;
    std::string class_dir = JoinPath(SysfsRoot(), "class/sound");
    for (const std::string& name : NumberedSysfsEntries(class_dir, "pcmC")) {
        int card = 0, device = 0;
        char direction = 0;
        if (std::sscanf(name.c_str(), "pcmC%dD%d%c", &card, &device, &direction) != 3 || direction != 'c')
            continue;
        MediaDeviceInfo info;
        std::string card_name = "card" + std::to_string(card);
        std::string card_id = ReadSysfsAttribute(JoinPath(class_dir, card_name) + "/id").value_or(card_name);
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
        DebugLog("media", "no video-control interface %d in %s", usb->interface_number,
                 usb->device_dir.c_str());
        return nullptr;
    }
    return std::make_unique<UvcTopology>(info.node, std::move(*entities));
}

}  // namespace

std::vector<MediaDeviceInfo> SystemDeviceProvider::List(DeviceCategory category) {
    switch (category) {
        case DeviceCategory::VideoInput:
            return ListVideo();
        case DeviceCategory::AudioInput:
            return ListAudio();
        case DeviceCategory::ReceiverComponent:
            return {};
    }
    return {};
}

std::unique_ptr<MediaDevice> SystemDeviceProvider::Bind(DeviceCategory category,
                                                        const MediaDeviceInfo& info) {
    std::unique_ptr<UvcTopology> topology;
    if (category == DeviceCategory::VideoInput) topology = TopologyOf(info);
    return std::make_unique<SystemDevice>(info, std::move(topology));
}

}  // namespace platform
