#include "capture/grabber_callback.h"

#include "platform/debuglog/debuglog.h"

CSampleGrabberCB g_grabberCallback;

void CSampleGrabberCB::BufferCB(const platform::GrabbedFrame& frame) {
    // Test and clear in one step: a second frame arriving meanwhile finds the request gone.
    if (m_bGrabRequested.exchange(0) == 0) return;
    handler_.load()(*this, frame);
}

void CSampleGrabberCB::SetFrameHandler(GrabbedFrameHandler handler) {
    handler_.store(handler != nullptr ? handler : &CountFrame);
}

void CSampleGrabberCB::CountFrame(CSampleGrabberCB& callback, const platform::GrabbedFrame& frame) {
    const uint64_t count = callback.default_frames_.fetch_add(1) + 1;
    platform::DebugLog("grabber", "frame %llu of %dx%d (%zu bytes) has no handler yet",
                       static_cast<unsigned long long>(count), frame.width, frame.height, frame.length);
}
