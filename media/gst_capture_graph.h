#pragma once
// The media platform on GStreamer: devices (V4L2 nodes, providers' devices, audio inputs from the device
// monitor), capture filters over them, and filter graphs that preview through the frame grabber.
//
// A graph is a pipeline: each video source's frames are split by a tee (no source here has a separate
// preview output) into the grabber's branch and the preview's branch, where a YUY2 frame is converted (any
// other to BGRx first) into the video window's surface in a probe that then drops the buffer, so that no
// camera buffer is held past it. Bus errors and device changes become graph events.

#include <memory>

#include "media/capture_graph.h"

namespace platform {

class UdevVideoMonitor;

class GstMediaFactory : public MediaFactory {
  public:
    // `watch_nodes`: follow V4L2 nodes through udev, so that graphs hear of a camera pulled out.
    explicit GstMediaFactory(bool watch_nodes = true);
    ~GstMediaFactory() override;

    std::vector<MediaDeviceInfo> ListDevices(DeviceCategory category) override;
    std::unique_ptr<CaptureFilter> Bind(DeviceCategory category, const MediaDeviceInfo& info) override;
    std::unique_ptr<FilterGraph> CreateGraph() override;

  private:
    std::unique_ptr<UdevVideoMonitor> monitor_;
};

// Element factories the graph may create; the set-up installs their plugins.
std::vector<const char*> UsedElementFactories();

}  // namespace platform
