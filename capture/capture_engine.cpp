#include "capture/capture_engine.h"

#include "capture/graph_builder.h"
#include "platform/debuglog/debuglog.h"

namespace capture {

const char* GraphStateName(GraphState state) {
    switch (state) {
        case GraphState::Empty:
            return "empty";
        case GraphState::PreviewBuilt:
            return "preview built";
        case GraphState::Previewing:
            return "previewing";
        case GraphState::RecordingBuilt:
            return "recording built";
        case GraphState::Recording:
            return "recording";
    }
    return "?";
}

CaptureEngine::CaptureEngine(CVellumoSettings& settings) : settings_(settings) {}

// The application shuts the engine down in order before this; what is left goes graph first.
CaptureEngine::~CaptureEngine() = default;

void CaptureEngine::SetState(GraphState now) {
    if (now == state_) return;
    const GraphState before = state_;
    state_ = now;
    platform::DebugLog("capture", "graph: %s -> %s", GraphStateName(before), GraphStateName(now));
    if (observer_ != nullptr) observer_->OnGraphStateChanged(before, now);
}

}  // namespace capture
