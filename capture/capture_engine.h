#pragma once
// The capture engine: finds and binds the camera, owns its filters and the graph that previews or records,
// places the live picture in the view and drives the camera's controls. The graph's state is one value
// (GraphState); an observer hears every change of it. The engine reads and writes the settings record it
// is given (sizes, picture values, the recording switch). Members are declared so that their destruction
// runs from the graph down to the factory. GUI thread only, except what the grabber callback touches (see
// grabber_callback.h).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "media/capture_graph.h"
#include "settings/settings.h"

class ISampleCaptureGraphBuilder;
struct RecordingHooks;

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

// What the graph holds and whether it runs. One graph at a time: the preview graph or the recording graph.
enum class GraphState {
    Empty,           // nothing behind the capture filters
    PreviewBuilt,    // the preview graph, stopped
    Previewing,      // the preview graph, running
    RecordingBuilt,  // the recording graph, stopped
    Recording,       // the recording graph, running: the file is being written
};
const char* GraphStateName(GraphState state);

// Told of every change of the graph's state, on the GUI thread, after the change.
class EngineObserver {
  public:
    virtual ~EngineObserver() = default;
    virtual void OnGraphStateChanged(GraphState before, GraphState now) = 0;
};

class CaptureEngine {
  public:
    explicit CaptureEngine(CVellumoSettings& settings);
    ~CaptureEngine();
    CaptureEngine(const CaptureEngine&) = delete;
    CaptureEngine& operator=(const CaptureEngine&) = delete;

    CVellumoSettings& Settings() { return settings_; }
    const CVellumoSettings& Settings() const { return settings_; }

    GraphState State() const { return state_; }
    bool PreviewGraphBuilt() const {
        return state_ == GraphState::PreviewBuilt || state_ == GraphState::Previewing;
    }
    bool RecordGraphBuilt() const {
        return state_ == GraphState::RecordingBuilt || state_ == GraphState::Recording;
    }
    bool Previewing() const { return state_ == GraphState::Previewing; }
    bool Recording() const { return state_ == GraphState::Recording; }
    // nullptr: nobody listens. The observer must outlive the engine or be removed first.
    void SetObserver(EngineObserver* observer) { observer_ = observer; }

    // --- Discovery and binding ---
    // 1 when both categories could be listed; m_bDevicePresent tells whether the camera was found.
    // Upper-cases m_szPidVid in place. An audio device whose name cannot be read (empty) leaves its slot as
    // it was.
    int FindCameraDevice();
    // Selects the found camera and the first audio input; nothing when no camera was found.
    void BindCameraDevices();
    // Makes the devices current and rebuilds filters and preview, unless they are the current ones already.
    void SelectDevices(const DeviceMoniker& video, const DeviceMoniker& audio);
    int CreateDeviceFilters();
    void ReleaseDeviceFilters();

    // --- The preview graph ---
    // The camera's capture filter feeds the frame grabber, which feeds the video window in the view. Stills
    // at another size are taken by switching the stream format and rebuilding the graph (RestartPreview).
    // 1 when the graph is built (or was already), 0 otherwise.
    int AssemblePreviewGraph();
    // 1 when the graph runs (or already ran).
    int RunPreview();
    // 1 when the graph was stopped; it does not look at the state first. A running recording stays
    // Recording until EndRecording gives its file the end.
    int HaltPreview();
    // Removes everything downstream of the capture filters and drops the per-graph interfaces; the graph
    // must be stopped. The capture filters and the graph object stay.
    void DismantleGraph();
    void RemoveDownstream(platform::CaptureFilter* filter);
    // The first YUY2, 16-bit stream format of exactly this size; without one the format stays as it was
    // (false).
    bool ApplyPreviewFormat(int width, int height);
    // Places the video window at the largest 4:3 rectangle centred in the view and tells the view.
    void FitVideoWindow();
    // Halt, dismantle, format, build, run: the one sequence of every size change. False when the camera
    // does not offer the size.
    bool RestartPreview(int width, int height);
    // The capture frame size from "SETSIZE", and the stream restarted at it when the preview runs at
    // another size. True when the stream was switched (the sensor settings are then the caller's to send).
    // When the camera does not offer the size, the capture size is the one the stream keeps.
    bool SwitchStreamToCaptureSize();
    // True when the preview runs at the capture size "SETSIZE" asks for, whatever the preview size setting
    // says; the capture size fields are then set to it, and a still needs no switch and no settling.
    bool StreamRunsAtCaptureSize();
    // After a still: the stream back at the preview size "SETPREVIEWSIZE" asks for, with the sensor settings
    // sent again; nothing when the two sizes are the same.
    void ReturnToPreviewSize();
    // The engine's end, in order: halt, end a recording, dismantle, release the filters and the grabber.
    void ShutdownEngine();

    // --- Preview resolution and the property dialogs ---
    // Commands 1026..1028: index 0 = 640 x 480, 1 = 2048 x 1536, 2 = 2592 x 1944. The still size follows
    // the preview size; a new size rebuilds the graph and re-applies the sensor settings and the exposure
    // mode. `update_status` refreshes the status text, which shows the size.
    void SelectPreviewResolution(int index, const std::function<void()>& update_status);
    // After the video filter's property dialog (846): the camera's values back into the settings.
    void ReadBackVideoProperties();
    // Command 847: stops and dismantles the preview, runs `show_dialog` with the capture output's stream
    // configuration (nullptr when there is none), takes the capture size from the format then current, and
    // builds and runs the preview again. The resolution settings stay as they were.
    void EditStreamFormat(const std::function<void(platform::StreamConfig*)>& show_dialog);

    // --- Recording (command 1030) ---
    // The preview graph gives way to a recording graph that writes the camera's capture stream (and the
    // sound, when "VIDEO STREAM" asks for it) to a Windows Media or AVI file in the save folder while the
    // live picture goes on; it always runs at 640 x 480 and the preview size comes back after it.
    // The body of command 1030: starts, or (pressed again) stops, a recording.
    void ToggleRecording(const RecordingHooks& hooks);
    // 1 when the recording graph is built (or was already).
    int AssembleRecordingGraph();
    // 1 when the recording runs (or already ran).
    int BeginRecording();
    // 1 when the graph was stopped; 0 when no recording ran or stopping failed.
    int EndRecording();
    // Command 1030 as the program runs it: ToggleRecording, and when a start did not get a recording
    // running, one message and the stop branch at once, so that the live picture comes back and the next
    // press starts.
    void RecordCommand(const RecordingHooks& hooks);
    // A running recording failed (the camera went, the writer failed): the file gets its end, the preview
    // comes back, the user is told once. Nothing when no recording runs.
    void RecordingFailed(const RecordingHooks& hooks);
    // The text the recorder statistics show, or nothing when there is nothing to show (no frame counters,
    // a counter that cannot be read, no frame written yet for the summary). `now_ms` is timeGetTime.
    std::optional<std::string> RecordingStatusText(int final, uint32_t now_ms,
                                                   const std::function<std::string(unsigned id)>& strings);

    // --- The camera's controls ---
    // Standard properties of the video capture filter (brightness, contrast, backlight compensation, focus,
    // and the iris, which drives exposure) and the image sensor's own registers for the mains-frequency
    // mode and the image direction. Failures are ignored: the settings keep what was asked.
    void SetBrightness(long value);
    void SetContrast(long value);
    void SetBacklightCompensation(long value);
    // 0 when the focus cannot be read.
    long GetFocusPosition();
    void SetFocusPosition(long value);
    void SetFocusAuto();
    void SetIrisValue(long value);
    void SetIrisAuto();
    // Frequency mode, then the direction change when m_bDirectionSwitch is off. Only while the camera is
    // present.
    void ApplySensorSettings();
    // Iris and backlight compensation of m_nExposureIndex 0..3; another index sends nothing.
    void ApplyExposureMode();
    // Everything stored: sensor settings, focus, and the exposure mode (another index counts as mode 0).
    void ApplyCameraSettings();

    // What creates devices and graphs; nullptr means the system has none.
    std::unique_ptr<platform::MediaFactory> m_pMediaFactory;

    // Discovery and binding.
    int m_nCameraFound = 0;
    DeviceMoniker m_cameraMoniker;
    std::array<DeviceMoniker, kAudioSlots> m_audioMonikers;
    DeviceMoniker m_videoMoniker;
    DeviceMoniker m_audioMoniker;
    std::string m_szCameraName;
    std::unique_ptr<platform::CaptureFilter> m_pVideoCapture;
    std::unique_ptr<platform::CaptureFilter> m_pAudioCapture;
    platform::StreamConfig* m_pVideoConfig = nullptr;  // of m_pVideoCapture
    std::unique_ptr<platform::FilterGraph> m_pGraph;
    std::unique_ptr<ISampleCaptureGraphBuilder> m_pBuilder;

    // The graph.
    int m_bWantPreview = 1;
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

    // Where the engine's messages go (the frame's), and the view that shows the video.
    platform::MessageTarget* m_pFrameTarget = nullptr;
    CaptureView* m_pCaptureView = nullptr;

  private:
    void SetState(GraphState now);

    CVellumoSettings& settings_;
    GraphState state_ = GraphState::Empty;
    EngineObserver* observer_ = nullptr;
};

}  // namespace capture
