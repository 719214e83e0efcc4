#pragma once
// The engine on the virtual camera for a benchmark: the camera showing its page, found and bound through
// the GStreamer media factory as the program does it, with the frame window given.

#include <memory>

#include "capture/capture_record.h"
#include "capture/device_discovery.h"
#include "media/gst_capture_graph.h"
#include "virtualcam/virtual_camera.h"

namespace bench {

// Installs a page-showing virtual camera (kept alive by the returned object) and binds the record to it.
inline std::unique_ptr<virtualcam::VirtualCamera> BindVirtualCamera(CCaptureRecord& record,
                                                                    platform::MessageTarget* frame) {
    virtualcam::VirtualCameraConfig config;
    config.scene = virtualcam::ParseSceneChoice("page");
    auto camera = std::make_unique<virtualcam::VirtualCamera>(config);
    camera->Install();
    record.m_szPidVid = "vid_eb1a&pid_2d80";
    record.m_engine.m_pMediaFactory = std::make_unique<platform::GstMediaFactory>(false);
    record.m_engine.m_pFrameTarget = frame;
    record.m_engine.FindCameraDevice();
    record.m_engine.BindCameraDevices();
    return camera;
}

}  // namespace bench
