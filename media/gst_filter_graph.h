#pragma once
// The GStreamer filter graph (see gst_capture_graph.h).

#include <memory>

#include "media/capture_graph.h"

namespace platform {

std::unique_ptr<FilterGraph> MakeGstFilterGraph();

}  // namespace platform
