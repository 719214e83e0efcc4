#include "virtualcam/virtual_camera.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "media/device_changes.h"
#include "platform/debuglog/debuglog.h"

namespace virtualcam {
namespace {

constexpr const char kReceiverInterfaceGuid[] = "{fd0a5af4-b41d-11d2-9c95-00c04f7971e0}";

std::vector<uint8_t> CommandOnlyDescriptor() {
    return {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00,
            0x75, 0x08, 0x85, 0x87, 0x95, 0x04, 0x09, 0x02, 0xB1, 0x02, 0xC0};
}

// Topology of a virtual video device: terminal, processing unit, extension units, output terminal.
class VirtualTopology : public platform::KsTopologyInfo {
  public:
    VirtualTopology(int nodes, int xu_node, XuEndpoint* xu) : nodes_(nodes), xu_node_(xu_node), xu_(xu) {}
    bool GetNumNodes(uint32_t* count) override {
        *count = static_cast<uint32_t>(nodes_);
        return true;
    }
    bool GetNodeType(uint32_t index, platform::Guid* type) override {
        if (index >= static_cast<uint32_t>(nodes_)) return false;
        if (static_cast<int>(index) == xu_node_)
            *type = platform::kNodeTypeDevSpecific;
        else if (index == 0)
            *type = platform::kNodeTypeVideoCameraTerminal;
        else if (static_cast<int>(index) == nodes_ - 1)
            *type = platform::kNodeTypeVideoOutputTerminal;
        else
            *type = platform::kNodeTypeVideoProcessing;
        return true;
    }
    bool CreateNodeInstance(uint32_t index, UvcXuNode* node) override {
        if (static_cast<int>(index) != xu_node_ || xu_ == nullptr) return false;
        *node = UvcXuNode{};
        std::strncpy(node->device_node, "virtual:video", sizeof node->device_node - 1);
        node->unit_id = kExtensionUnitId;
        node->query = &XuEndpoint::QueryThunk;
        node->context = xu_;
        return true;
    }

  private:
    int nodes_;
    int xu_node_;
    XuEndpoint* xu_;
};

class VirtualDevice : public platform::MediaDevice {
  public:
    VirtualDevice(platform::MediaDeviceInfo info, std::unique_ptr<VirtualTopology> topology,
                  platform::KsControl* ks, VirtualPicture* picture = nullptr, bool tone = false)
        : info_(std::move(info)), topology_(std::move(topology)), ks_(ks), picture_(picture), tone_(tone) {}
    const platform::MediaDeviceInfo& Info() const override { return info_; }
    platform::KsControl* QueryKsControl() override { return ks_; }
    platform::KsTopologyInfo* QueryTopology() override { return topology_.get(); }
    platform::StreamConfig* QueryStreamConfig() override { return picture_; }
    platform::VideoProcAmp* QueryVideoProcAmp() override { return picture_; }
    platform::CameraControl* QueryCameraControl() override { return picture_; }
    platform::FrameSource* QueryFrameSource() override { return picture_; }
    bool IsToneSource() const override { return tone_; }

  private:
    platform::MediaDeviceInfo info_;
    std::unique_ptr<VirtualTopology> topology_;
    platform::KsControl* ks_;
    VirtualPicture* picture_;  // the camera's own video device only
    bool tone_;
};

platform::MediaDeviceInfo MicrophoneInfo() {
    platform::MediaDeviceInfo info;
    info.friendly_name = kMicrophoneName;
    info.device_path = "\\\\?\\virtual#audio#microphone";
    info.node = "virtual:microphone";
    return info;
}

const char* CategoryName(platform::DeviceCategory category) {
    switch (category) {
        case platform::DeviceCategory::VideoInput:
            return "video";
        case platform::DeviceCategory::AudioInput:
            return "audio";
        case platform::DeviceCategory::ReceiverComponent:
            return "receiver";
    }
    return "?";
}

}  // namespace

std::vector<uint8_t> BootKeyboardDescriptor() {
    return {0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15, 0x00, 0x25, 0x01,
            0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08, 0x81, 0x01, 0x95, 0x05, 0x75, 0x01,
            0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91, 0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06,
            0x75, 0x08, 0x15, 0x00, 0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
}

std::vector<uint8_t> WheelMouseDescriptor() {
    return {0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05, 0x09, 0x19,
            0x01, 0x29, 0x05, 0x15, 0x00, 0x25, 0x01, 0x95, 0x05, 0x75, 0x01, 0x81, 0x02,
            0x95, 0x01, 0x75, 0x03, 0x81, 0x01, 0x05, 0x01, 0x09, 0x30, 0x09, 0x31, 0x09,
            0x38, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x03, 0x81, 0x06, 0xC0, 0xC0};
}

VirtualCamera::VirtualCamera(VirtualCameraConfig config)
    : config_(std::move(config)),
      chip_(log_),
      hid_(chip_, log_),
      xu_(chip_, log_),
      picture_(chip_, config_.scene),
      decoy_chip_(decoy_log_),
      decoy_xu_(decoy_chip_, log_, "xu-decoy"),
      ks_capture_(chip_, log_),
      ks_receiver_(chip_, log_) {
    chip_.SetFocusTime(config_.focus_time);
    int n = 0;
    for (HidDecoy decoy : config_.hid_decoys) {
        HidInterface hid;
        hid.path = "virtual:hidraw" + std::to_string(n++);
        switch (decoy) {
            case HidDecoy::Keyboard:
                hid.descriptor = BootKeyboardDescriptor();
                break;
            case HidDecoy::Mouse:
                hid.descriptor = WheelMouseDescriptor();
                break;
            case HidDecoy::CommandOnly:
                hid.descriptor = CommandOnlyDescriptor();
                break;
            case HidDecoy::Unexaminable:
                break;
            case HidDecoy::ForeignBridge:
                hid.descriptor = HidEndpoint::ReportDescriptor();
                break;
        }
        hid_interfaces_.push_back(std::move(hid));
    }
    if (config_.transport == BridgeTransport::Hid) {
        hid_interfaces_.push_back(
            {"virtual:hidraw" + std::to_string(n), HidEndpoint::ReportDescriptor(), true});
    }

    int decoy = 0;
    for (int nodes : config_.decoy_video_nodes) {
        VideoDevice device;
        device.info.friendly_name = "Virtual Decoy Camera " + std::to_string(decoy);
        device.info.device_path =
            platform::UsbDevicePath(0x1A2B, static_cast<uint16_t>(0x3C40 + decoy), 0,
                                    "decoy&" + std::to_string(decoy), platform::kVideoCaptureInterfaceGuid);
        device.info.node = "virtual:decoy" + std::to_string(decoy);
        device.nodes = nodes;
        device.xu_node = nodes > 2 ? 2 : -1;  // a device-specific node that would even answer
        video_devices_.push_back(std::move(device));
        ++decoy;
    }
    VideoDevice camera;
    camera.info.friendly_name = kFriendlyName;
    camera.info.device_path = DevicePath();
    camera.info.node = "virtual:video";
    camera.nodes = config_.transport == BridgeTransport::UvcExtension ? 4 : 3;
    camera.xu_node = config_.transport == BridgeTransport::UvcExtension ? 2 : -1;
    camera.ks_capture = config_.transport == BridgeTransport::KsCapture;
    video_devices_.push_back(std::move(camera));
}

VirtualCamera::~VirtualCamera() { Uninstall(); }

std::string VirtualCamera::DevicePath() const { return CameraDevicePath(); }

void VirtualCamera::Install() {
    if (installed_) return;
    platform::SetHidBackend(this);
    platform::RegisterDeviceProvider(this);
    installed_ = true;
}

void VirtualCamera::Uninstall() {
    if (!installed_) return;
    if (&platform::CurrentHidBackend() == this) platform::SetHidBackend(nullptr);
    platform::UnregisterDeviceProvider(this);
    installed_ = false;
}

std::vector<std::string> VirtualCamera::EnumerateInterfaces() {
    std::vector<std::string> paths;
    for (const HidInterface& hid : hid_interfaces_) paths.push_back(hid.path);
    return paths;
}

std::optional<platform::HidInterfaceInfo> VirtualCamera::Examine(const std::string& path) {
    for (const HidInterface& hid : hid_interfaces_) {
        if (hid.path != path || !hid.descriptor) continue;
        platform::HidInterfaceInfo info;
        info.report_descriptor = *hid.descriptor;
        info.vendor_id = hid.camera ? kVendorId : 0x046D;
        info.product_id = hid.camera ? kProductId : 0xC31C;
        return info;
    }
    return std::nullopt;
}

int VirtualCamera::Open(const std::string& path) {
    for (const HidInterface& hid : hid_interfaces_) {
        if (hid.path != path) continue;
        log_.Add("hid", "open " + path);
        int handle = next_handle_++;
        open_hid_[handle] = path;
        return handle;
    }
    errno = ENOENT;
    return -1;
}

bool VirtualCamera::SetFeature(int handle, const uint8_t* report, size_t length) {
    auto it = open_hid_.find(handle);
    if (it == open_hid_.end()) return false;
    for (const HidInterface& hid : hid_interfaces_) {
        if (hid.path == it->second && hid.camera) return hid_.SetFeature(report, length);
    }
    return false;
}

bool VirtualCamera::GetFeature(int handle, uint8_t* report, size_t length) {
    auto it = open_hid_.find(handle);
    if (it == open_hid_.end()) return false;
    for (const HidInterface& hid : hid_interfaces_) {
        if (hid.path == it->second && hid.camera) return hid_.GetFeature(report, length);
    }
    return false;
}

void VirtualCamera::Close(int handle) {
    if (open_hid_.erase(handle) > 0) log_.Add("hid", "close");
}

std::vector<platform::MediaDeviceInfo> VirtualCamera::List(platform::DeviceCategory category) {
    log_.Add("media", std::string("list ") + CategoryName(category));
    std::vector<platform::MediaDeviceInfo> devices;
    if (category == platform::DeviceCategory::VideoInput) {
        for (const VideoDevice& device : video_devices_)
            if (plugged_ || device.info.device_path != DevicePath()) devices.push_back(device.info);
    } else if (category == platform::DeviceCategory::AudioInput) {
        if (plugged_) devices.push_back(MicrophoneInfo());
    } else if (category == platform::DeviceCategory::ReceiverComponent &&
               config_.transport == BridgeTransport::KsReceiver) {
        platform::MediaDeviceInfo receiver;
        receiver.friendly_name = kReceiverName;
        receiver.device_path =
            platform::UsbDevicePath(kVendorId, kProductId, 0, kInstance, kReceiverInterfaceGuid);
        receiver.node = "virtual:receiver";
        devices.push_back(receiver);
    }
    return devices;
}

std::unique_ptr<platform::MediaDevice> VirtualCamera::Bind(platform::DeviceCategory category,
                                                           const platform::MediaDeviceInfo& info) {
    log_.Add("media", "bind " + info.friendly_name);
    if (category == platform::DeviceCategory::ReceiverComponent) {
        return std::make_unique<VirtualDevice>(info, nullptr, &ks_receiver_);
    }
    if (category == platform::DeviceCategory::AudioInput) {
        if (!plugged_ || info.device_path != MicrophoneInfo().device_path) return nullptr;
        return std::make_unique<VirtualDevice>(info, nullptr, nullptr, nullptr, true);
    }
    for (const VideoDevice& device : video_devices_) {
        if (device.info.device_path != info.device_path) continue;
        const bool camera = device.info.device_path == DevicePath();
        if (camera && !plugged_) return nullptr;
        XuEndpoint* xu = camera ? &xu_ : &decoy_xu_;
        return std::make_unique<VirtualDevice>(
            info, std::make_unique<VirtualTopology>(device.nodes, device.xu_node, xu),
            device.ks_capture ? &ks_capture_ : nullptr, camera ? &picture_ : nullptr);
    }
    return nullptr;
}

void VirtualCamera::Unplug() {
    if (!plugged_) return;
    plugged_ = false;
    picture_.SetPlugged(false);
    chip_.SetResponding(false);
    log_.Add("media", "unplugged");
    platform::NotifyDeviceChange(platform::DeviceChange{DevicePath(), "virtual:video", false});
}

void VirtualCamera::Plug() {
    if (plugged_) return;
    plugged_ = true;
    chip_.PowerUp();
    picture_.SetPlugged(true);
    chip_.SetResponding(true);
    log_.Add("media", "plugged");
    platform::NotifyDeviceChange(platform::DeviceChange{DevicePath(), "virtual:video", true});
}

std::optional<VirtualCameraConfig> ConfigFromEnvironment() {
    if (!RequestedByEnvironment()) return std::nullopt;
    VirtualCameraConfig config;
    const char* transport = std::getenv("VELLUMO_VIRTUALCAM_TRANSPORT");
    std::string_view name = transport != nullptr ? transport : "hid";
    if (name == "xu")
        config.transport = BridgeTransport::UvcExtension;
    else if (name == "ks")
        config.transport = BridgeTransport::KsCapture;
    else if (name == "receiver")
        config.transport = BridgeTransport::KsReceiver;
    else if (name != "hid")
        platform::DebugLog("virtualcam", "unknown transport \"%s\", using hid", transport);
    if (const char* scene = std::getenv("VELLUMO_VIRTUALCAM_SCENE")) config.scene = ParseSceneChoice(scene);
    return config;
}

VirtualCamera* AttachFromEnvironment() {
    static std::unique_ptr<VirtualCamera> camera;
    if (camera) return camera.get();
    std::optional<VirtualCameraConfig> config = ConfigFromEnvironment();
    if (!config) return nullptr;
    camera = std::make_unique<VirtualCamera>(*config);
    camera->Install();
    return camera.get();
}

}  // namespace virtualcam
