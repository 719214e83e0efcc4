#include <mutex>

#include "media/gst_capture_filters.h"
#include "media/gst_capture_graph.h"
#include "media/gst_filter_graph.h"
#include "media/gst_ptr.h"
#include "media/system_devices.h"
#include "media/udev_monitor.h"
#include "media/v4l2_io.h"
#include "platform/debuglog/debuglog.h"

namespace platform {
namespace {

// The first of the device's properties that names it for its source element; else its display name.
std::string AudioDeviceKey(GstDevice* device) {
    std::string key;
    if (GstStructure* props = gst_device_get_properties(device)) {
        for (const char* field : {"node.name", "device.name", "api.alsa.path", "device.string"}) {
            if (const char* value = gst_structure_get_string(props, field)) {
                key = value;
                break;
            }
        }
        gst_structure_free(props);
    }
    if (key.empty()) key = GCharPtr(gst_device_get_display_name(device)).get();
    return key;
}

// The system's audio inputs as GStreamer's device monitor sees them (PulseAudio, else ALSA).
struct AudioInput {
    MediaDeviceInfo info;
    GstDevicePtr device;
};

std::vector<AudioInput> SystemAudioInputs() {
    std::vector<AudioInput> inputs;
    GstDeviceMonitorPtr monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    GstDeviceListPtr devices(gst_device_monitor_get_devices(monitor.get()));
    for (GList* item = devices.get(); item != nullptr; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        AudioInput input;
        input.info.friendly_name = GCharPtr(gst_device_get_display_name(device)).get();
        input.info.node = AudioDeviceKey(device);
        input.info.device_path = "\\\\?\\gst#audio#" + input.info.node;
        input.device = GstDevicePtr(GST_DEVICE(gst_object_ref(device)));
        inputs.push_back(std::move(input));
    }
    return inputs;
}

std::unique_ptr<GstCaptureFilter> BindAudio(const MediaDeviceInfo& info) {
    if (std::unique_ptr<MediaDevice> device = BindProviderDevice(DeviceCategory::AudioInput, info)) {
        if (!device->IsToneSource()) return nullptr;
        GstElementPtr tone = MakeElement("audiotestsrc");
        if (tone) g_object_set(tone.get(), "is-live", TRUE, nullptr);
        return MakeAudioFilter(info, std::move(tone));
    }
    for (AudioInput& input : SystemAudioInputs()) {
        if (input.info.device_path != info.device_path) continue;
        GstElement* element = gst_device_create_element(input.device.get(), nullptr);
        if (element == nullptr) return nullptr;
        return MakeAudioFilter(info, GstElementPtr(GST_ELEMENT(gst_object_ref_sink(element))));
    }
    return nullptr;
}

}  // namespace

void EnsureGstInitialised() {
    static std::once_flag once;
    std::call_once(once, [] {
        // v4l2src's orphaning of its buffers fails on a device that has gone, and its buffer pool then
        // keeps the dead node open for good: the kernel cannot give that node's number to the camera
        // plugged back. Draining returns the buffers instead. A value the user set wins.
        g_setenv("GST_V4L2_FORCE_DRAIN", "1", FALSE);
        gst_init(nullptr, nullptr);
    });
}

std::vector<const char*> UsedElementFactories() {
    return {"v4l2src", "capsfilter", "appsrc", "clocksync", "tee", "queue", "identity", "fakesink",
            "videoconvert", "audiotestsrc", "pulsesrc", "alsasrc",
            // recording
            "valve", "videorate", "audioconvert", "audioresample", "avimux", "asfmux", "avenc_wmv2",
            "avenc_wmav2", "filesink"};
}

GstMediaFactory::GstMediaFactory(bool watch_nodes) {
    EnsureGstInitialised();
    if (watch_nodes) monitor_ = UdevVideoMonitor::Start();
}

GstMediaFactory::~GstMediaFactory() = default;

std::vector<MediaDeviceInfo> GstMediaFactory::ListDevices(DeviceCategory category) {
    std::vector<MediaDeviceInfo> devices;
    if (category == DeviceCategory::VideoInput) {
        for (MediaDeviceInfo& info : SystemDeviceProvider().List(category)) {
            std::unique_ptr<V4l2Io> io = OpenV4l2Node(info.node);
            if (!io || !IsVideoCaptureNode(*io)) {
                DebugLog("media", "skipping %s: %s", info.node.c_str(),
                         io ? "not a capture device" : "cannot open");
                continue;
            }
            devices.push_back(std::move(info));
        }
    } else if (category == DeviceCategory::AudioInput) {
        for (AudioInput& input : SystemAudioInputs()) devices.push_back(std::move(input.info));
    }
    std::vector<MediaDeviceInfo> provided = ListProviderDevices(category);
    devices.insert(devices.end(), provided.begin(), provided.end());
    return devices;
}

std::unique_ptr<CaptureFilter> GstMediaFactory::Bind(DeviceCategory category, const MediaDeviceInfo& info) {
    if (category == DeviceCategory::AudioInput) return BindAudio(info);
    if (category != DeviceCategory::VideoInput) return nullptr;
    if (std::unique_ptr<MediaDevice> device = BindProviderDevice(category, info)) {
        return MakeProviderVideoFilter(std::move(device));
    }
    return MakeV4l2Filter(info);
}

std::unique_ptr<FilterGraph> GstMediaFactory::CreateGraph() { return MakeGstFilterGraph(); }

}  // namespace platform
