#pragma once
// The capture fields: the engine's state, held in the same record as the settings (the application object
// derives from this). Every engine operation takes this record. Owners are unique_ptr; plain pointers point
// into objects the record owns (a filter's stream configuration, the graph's video window and events).
// Members are declared so that their destruction runs from the graph down to the factory.
// GUI thread only, except what the grabber callback touches (see grabber_callback.h).

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "media/capture_graph.h"
#include "settings/settings.h"

class ISampleCaptureGraphBuilder;

namespace capture {

// The view as the engine sees it: the owner of the video window, its client size, and where it keeps the
// video rectangle that maps selections to the frame.
class CaptureView {
  public:
    virtual ~CaptureView() = default;
    virtual platform::VideoSurface* Surface() = 0;
    virtual void ClientSize(int* width, int* height) const = 0;
    virtual void SetVideoRect(int left, int top, int right, int bottom) = 0;
};

// A device as discovery found it; stands in for a moniker.
using DeviceMoniker = std::optional<platform::MediaDeviceInfo>;

constexpr int kAudioSlots = 20;
constexpr size_t kCameraNameMax = 119;  // characters, without the terminator

}  // namespace capture

class CCaptureRecord : public CVellumoSettings {
  public:
    CCaptureRecord();
    ~CCaptureRecord();

    // What creates devices and graphs; nullptr means the system has none.
    std::unique_ptr<platform::MediaFactory> m_pMediaFactory;

    // Discovery and binding.
    int m_nCameraFound = 0;
    capture::DeviceMoniker m_pCameraMoniker;
    std::array<capture::DeviceMoniker, capture::kAudioSlots> m_pAudioMonikers;
    capture::DeviceMoniker m_pVideoMoniker;
    capture::DeviceMoniker m_pAudioMoniker;
    std::string m_wszCameraName;
    std::unique_ptr<platform::CaptureFilter> m_pVideoCapture;
    std::unique_ptr<platform::CaptureFilter> m_pAudioCapture;
    platform::StreamConfig* m_pVideoConfig = nullptr;  // of m_pVideoCapture
    platform::StreamConfig* m_pAudioConfig = nullptr;  // of m_pAudioCapture
    int m_bCaptionPin = 0;
    std::unique_ptr<platform::FilterGraph> m_pGraph;
    std::unique_ptr<ISampleCaptureGraphBuilder> m_pBuilder;

    // The graph.
    int m_bPreviewGraphBuilt = 0;
    int m_bRecordGraphBuilt = 0;
    int m_bWantPreview = 1;
    int m_bPreviewing = 0;
    int m_bRecording = 0;
    int m_bPreviewFaked = 0;
    platform::FrameSink* m_pGrabber = nullptr;        // the grabber in the graph (g_grabberCallback)
    platform::VideoWindow* m_pVideoWindow = nullptr;  // of m_pGraph
    platform::MediaEvents* m_pMediaEvents = nullptr;  // of m_pGraph

    // Recording.
    int m_nSavedPreviewSize = 0;  // m_nSetPreviewSize when the recording started
    int m_nDroppedAtStart = 0;    // the capture pin's counters when the file began
    int m_nNotDroppedAtStart = 0;
    uint32_t m_dwRecordStart = 0;  // milliseconds of timeGetTime
    uint32_t m_dwRecordStop = 0;
    platform::FilterGraph* m_pMux = nullptr;  // the graph holding the file's multiplexer and writer
    std::string m_szVideoFile;                // the file being recorded (the view's output file)
    platform::DroppedFrames* m_pDroppedFrames = nullptr;  // of the video capture pin
    int32_t m_hrRecordResult = 0;  // why the last recording build or start failed (0: it did not)

    // Windows: the frame and the view for messages, and the view for the video.
    platform::MessageTarget* m_hFrameWnd = nullptr;
    platform::MessageTarget* m_hViewWnd = nullptr;
    capture::CaptureView* m_pCaptureView = nullptr;
};
