#pragma once
// The grabber's callback: every frame passes it on the streaming thread and returns at once unless a frame
// was requested. The one-shot request is cleared before the frame is handed on, so each request delivers
// exactly one frame however many frames race for it. One object for the whole run, g_grabberCallback.

#include <atomic>
#include <cstdint>

#include "media/capture_graph.h"

class CSampleGrabberCB;

// What the requested frame is handed to; runs on the streaming thread and to completion inside the call.
using GrabbedFrameHandler = void (*)(CSampleGrabberCB& callback, const platform::GrabbedFrame& frame);

class CSampleGrabberCB : public platform::FrameSink {
  public:
    bool WantsFrame() const override { return m_bGrabRequested.load() != 0; }
    void OnFrame(const platform::GrabbedFrame& frame) override { BufferCB(frame); }
    void BufferCB(const platform::GrabbedFrame& frame);

    // Replaces the frame handler; nullptr restores the default one, which only counts and logs.
    void SetFrameHandler(GrabbedFrameHandler handler);
    // Frames the default handler has seen.
    uint64_t DefaultHandlerFrames() const { return default_frames_.load(); }

    // Capture request flags: a frame is wanted; it is for OCR or a card program; it is a business card.
    std::atomic<uint8_t> m_bGrabRequested{0};
    std::atomic<uint8_t> m_bOcrCapture{0};
    std::atomic<uint8_t> m_bCardCapture{0};

  private:
    static void CountFrame(CSampleGrabberCB& callback, const platform::GrabbedFrame& frame);

    std::atomic<GrabbedFrameHandler> handler_{&CountFrame};
    std::atomic<uint64_t> default_frames_{0};
};

extern CSampleGrabberCB g_grabberCallback;
