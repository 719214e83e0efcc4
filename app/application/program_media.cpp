#include "app/application/program_media.h"

#include "media/gst_capture_graph.h"

std::unique_ptr<platform::MediaFactory> CreateProgramMediaFactory() {
    return std::make_unique<platform::GstMediaFactory>();
}
