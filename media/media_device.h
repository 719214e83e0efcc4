#pragma once
// Capture devices of the system by category, with the two properties the program matches on:
// "FriendlyName" and "DevicePath" (a Windows-style interface path that carries "vid_hhhh&pid_hhhh"
// for USB devices, so that the camera identity text matches), and binding a device into a handle
// that answers the kernel-streaming queries (property sets, topology).
//
// Devices come from providers: the system's (V4L2 video nodes and ALSA capture devices under the sysfs
// root, VELLUMO_SYSFS_ROOT or "/sys"), and any registered by the virtual camera. Providers are listed
// in registration order after the system's. GUI thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/device_controls.h"
#include "media/uvc/xu_node.h"
#include "media/video_nodes.h"

namespace platform {

struct Guid {
    uint8_t bytes[16] = {};  // Windows memory layout: Data1..Data3 little-endian, then Data4
    bool operator==(const Guid& other) const;
    bool operator!=(const Guid& other) const { return !(*this == other); }
};

// "{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}" (braces optional); an all-zero GUID when malformed.
Guid GuidFromString(const char* text);

enum class DeviceCategory { VideoInput, AudioInput, ReceiverComponent };

struct MediaDeviceInfo {
    std::string friendly_name;
    std::string device_path;  // empty when the device has none
    std::string node;         // /dev/videoN, ALSA "hw:C,D", or a provider's own name
};

// The vendor property access of a kernel-streaming filter (IKsControl::KsProperty): the property and
// data buffers and their lengths as the caller passes them. Returns an HRESULT (negative = failure).
class KsControl {
  public:
    virtual ~KsControl() = default;
    virtual int32_t KsProperty(void* property, uint32_t property_length, void* data, uint32_t data_length,
                               uint32_t* bytes_returned) = 0;
};

// The filter's topology nodes (IKsTopologyInfo).
class KsTopologyInfo {
  public:
    virtual ~KsTopologyInfo() = default;
    virtual bool GetNumNodes(uint32_t* count) = 0;
    virtual bool GetNodeType(uint32_t index, Guid* type) = 0;
    // The extension-unit node as the extension-control library wants it; false for other nodes.
    virtual bool CreateNodeInstance(uint32_t index, UvcXuNode* node) = 0;
};

// A bound device (a capture filter). Interfaces it does not offer come back as nullptr; they live as
// long as the device.
class MediaDevice {
  public:
    virtual ~MediaDevice() = default;
    virtual const MediaDeviceInfo& Info() const = 0;
    virtual KsControl* QueryKsControl() { return nullptr; }
    virtual KsTopologyInfo* QueryTopology() { return nullptr; }
    // A device of a provider (not a V4L2 node) answers these itself; a V4L2 node is served by the media
    // platform's own V4L2 code instead.
    virtual StreamConfig* QueryStreamConfig() { return nullptr; }
    virtual VideoProcAmp* QueryVideoProcAmp() { return nullptr; }
    virtual CameraControl* QueryCameraControl() { return nullptr; }
    virtual FrameSource* QueryFrameSource() { return nullptr; }
    // An audio input of a provider that is a test tone (the virtual microphone).
    virtual bool IsToneSource() const { return false; }
};

class MediaDeviceProvider {
  public:
    virtual ~MediaDeviceProvider() = default;
    virtual std::vector<MediaDeviceInfo> List(DeviceCategory category) = 0;
    // info is one this provider listed.
    virtual std::unique_ptr<MediaDevice> Bind(DeviceCategory category, const MediaDeviceInfo& info) = 0;
};

// The caller keeps a registered provider alive until it unregisters it.
void RegisterDeviceProvider(MediaDeviceProvider* provider);
void UnregisterDeviceProvider(MediaDeviceProvider* provider);

// All devices of a category, system's first.
std::vector<MediaDeviceInfo> ListDevices(DeviceCategory category);

// The registered providers' devices only, in registration order.
std::vector<MediaDeviceInfo> ListProviderDevices(DeviceCategory category);

// Binds a device a registered provider lists with this path and node; nullptr when none does.
std::unique_ptr<MediaDevice> BindProviderDevice(DeviceCategory category, const MediaDeviceInfo& info);

// Binds the first device of the category whose "DevicePath" (or "FriendlyName" when it has no path)
// equals the given text exactly. nullptr when none does or binding fails.
std::unique_ptr<MediaDevice> BindDeviceByPath(DeviceCategory category, const std::string& path);

// Node types of the topology (KSNODETYPE_*).
extern const Guid kNodeTypeDevSpecific;
extern const Guid kNodeTypeVideoCameraTerminal;
extern const Guid kNodeTypeVideoInputTerminal;
extern const Guid kNodeTypeVideoOutputTerminal;
extern const Guid kNodeTypeVideoSelector;
extern const Guid kNodeTypeVideoProcessing;
extern const Guid kNodeTypeVideoEncoding;

}  // namespace platform
