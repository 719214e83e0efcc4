#pragma once
// The virtual document camera's device side: its bridge chip, reachable over the one transport chosen
// by configuration, and decoy devices around it. Installing it puts its HID interfaces in place of the
// system's (platform/hid) and adds its video devices and receiver component to the system's
// (media/). The capture engine adds the camera's picture source beside this.
//
// Configuration from the environment:
//   VELLUMO_VIRTUALCAM=1                      use the virtual camera
//   VELLUMO_VIRTUALCAM_TRANSPORT=hid|xu|ks|receiver   (default hid)
//   VELLUMO_VIRTUALCAM_SCENE=page|cards:N|file:PATH|stack   what it looks at (default page; N = 1..4 cards;
//                                             PATH a JPEG photograph, or a folder of them shown in name
//                                             order; stack: numbered letters, the next one laid on by "camera
//                                             next")

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "media/media_device.h"
#include "platform/hid/hid_device.h"
#include "virtualcam/chip/bridge_chip.h"
#include "virtualcam/chip/endpoints.h"
#include "virtualcam/chip/wire_log.h"
#include "virtualcam/identity.h"
#include "virtualcam/picture/virtual_picture.h"

namespace virtualcam {

enum class BridgeTransport { Hid, UvcExtension, KsCapture, KsReceiver };

enum class HidDecoy {
    Keyboard,       // a boot keyboard
    Mouse,          // a wheel mouse
    CommandOnly,    // vendor interface with feature report 0x87 but no 0x93
    Unexaminable,   // its descriptor cannot be read
    ForeignBridge,  // the bridge's own report layout on another maker's device (its own USB identity)
};

struct VirtualCameraConfig {
    BridgeTransport transport = BridgeTransport::Hid;
    std::vector<HidDecoy> hid_decoys;    // listed before the camera's interface, in this order
    std::vector<int> decoy_video_nodes;  // video devices listed before the camera, with this many
                                         // topology nodes each (one of them an answering extension unit)
    std::chrono::milliseconds focus_time{200};
    SceneChoice scene;
};

inline constexpr const char kFriendlyName[] = "Vellumo Virtual Document Camera";
inline constexpr const char kReceiverName[] = "Vellumo Virtual Bridge Receiver";
inline constexpr const char kMicrophoneName[] = "Vellumo Virtual Microphone";

class VirtualCamera : public platform::HidBackend, public platform::MediaDeviceProvider {
  public:
    explicit VirtualCamera(VirtualCameraConfig config = {});
    ~VirtualCamera() override;
    VirtualCamera(const VirtualCamera&) = delete;
    VirtualCamera& operator=(const VirtualCamera&) = delete;

    void Install();
    void Uninstall();

    BridgeChip& Chip() { return chip_; }
    VirtualPicture& Picture() { return picture_; }
    // Pulls the camera out (its devices disappear, frames stop, the chip stops answering) or plugs it back;
    // either is announced as a device change, as the system announces a real camera's.
    void Unplug();
    void Plug();
    bool Plugged() const { return plugged_; }
    WireLog& Log() { return log_; }
    const VirtualCameraConfig& Config() const { return config_; }
    // The camera's video device path ("DevicePath").
    std::string DevicePath() const;
    // HID handles opened and not yet closed.
    int OpenHidHandles() const { return static_cast<int>(open_hid_.size()); }

    // platform::HidBackend
    std::vector<std::string> EnumerateInterfaces() override;
    std::optional<platform::HidInterfaceInfo> Examine(const std::string& path) override;
    int Open(const std::string& path) override;
    bool SetFeature(int handle, const uint8_t* report, size_t length) override;
    bool GetFeature(int handle, uint8_t* report, size_t length) override;
    void Close(int handle) override;

    // platform::MediaDeviceProvider
    std::vector<platform::MediaDeviceInfo> List(platform::DeviceCategory category) override;
    std::unique_ptr<platform::MediaDevice> Bind(platform::DeviceCategory category,
                                                const platform::MediaDeviceInfo& info) override;

  private:
    struct HidInterface {
        std::string path;
        std::optional<std::vector<uint8_t>> descriptor;
        bool camera = false;
    };
    struct VideoDevice {
        platform::MediaDeviceInfo info;
        int nodes = 0;     // topology nodes
        int xu_node = -1;  // index of the answering extension unit, -1 none
        bool ks_capture = false;
    };

    WireLog log_;
    WireLog decoy_log_;
    VirtualCameraConfig config_;
    BridgeChip chip_;
    HidEndpoint hid_;
    XuEndpoint xu_;
    VirtualPicture picture_;
    bool plugged_ = true;
    BridgeChip decoy_chip_;  // behind the decoys' extension units; their transfers are logged as "xu-decoy"
    XuEndpoint decoy_xu_;
    KsCaptureEndpoint ks_capture_;
    KsReceiverEndpoint ks_receiver_;
    std::vector<HidInterface> hid_interfaces_;
    std::vector<VideoDevice> video_devices_;
    std::map<int, std::string> open_hid_;
    int next_handle_ = 100;
    bool installed_ = false;
};

// Reads the configuration above; nothing when VELLUMO_VIRTUALCAM does not ask for the camera.
std::optional<VirtualCameraConfig> ConfigFromEnvironment();

// The program's virtual camera: created and installed on the first call when the environment asks for
// it, kept for the life of the process. nullptr when not configured.
VirtualCamera* AttachFromEnvironment();

// Report descriptors of real devices, used for the decoys.
std::vector<uint8_t> BootKeyboardDescriptor();
std::vector<uint8_t> WheelMouseDescriptor();

}  // namespace virtualcam
