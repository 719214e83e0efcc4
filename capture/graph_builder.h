#pragma once
// The graph builder object: every graph-building call of the engine goes through it, so that building
// could be specialised in one place. Here each operation is passed straight to the graph it was given.
// GUI thread only.

#include <cstdint>
#include <string>

#include "media/capture_graph.h"

enum class PinCategory { Capture, Preview };
enum class MediaMajorType { Interleaved, Video, Audio };
// The file subtypes SetOutputFileName takes.
enum class MediaSubtype { Asf, Avi };
// ControlStream's "for ever" time.
constexpr int64_t MAXLONGLONG = 0x7FFFFFFFFFFFFFFF;

class ISampleCaptureGraphBuilder {
  public:
    ISampleCaptureGraphBuilder() = default;
    virtual ~ISampleCaptureGraphBuilder() = default;
    ISampleCaptureGraphBuilder(const ISampleCaptureGraphBuilder&) = delete;
    ISampleCaptureGraphBuilder& operator=(const ISampleCaptureGraphBuilder&) = delete;

    // The stream configuration of a filter's pin of the category and media type.
    virtual int32_t FindInterface(PinCategory category, MediaMajorType type, platform::CaptureFilter* filter,
                                  platform::StreamConfig** config);
    // An output pin of the category; none of our devices has a VBI or caption output.
    // The frame counters of a filter's capture pin.
    virtual int32_t FindInterface(PinCategory category, MediaMajorType type, platform::CaptureFilter* filter,
                                  platform::DroppedFrames** dropped);
    // Renders the source's stream of the category through the intermediate grabber into the default renderer.
    virtual int32_t RenderStream(PinCategory category, MediaMajorType type, platform::CaptureFilter* source,
                                 platform::FrameSink* intermediate);
    // Renders the source's capture stream into the file's multiplexer `mux` (the graph SetOutputFileName
    // gave), or its preview into the default renderer when `mux` is nullptr.
    virtual int32_t RenderStream(PinCategory category, MediaMajorType type, platform::CaptureFilter* source,
                                 platform::FrameSink* intermediate, platform::FilterGraph* mux);
    virtual int32_t SetFiltergraph(platform::FilterGraph* graph);
    // Creates the file's multiplexer and writer in the graph; `mux` is where streams are rendered to it.
    virtual int32_t SetOutputFileName(MediaSubtype subtype, const std::string& file,
                                      platform::FilterGraph** mux);
    // Stream control of the capture pins: a `start` of MAXLONGLONG holds them back, nullptr starts them now
    // (`stop` is not used beyond "never").
    virtual int32_t ControlStream(PinCategory category, const int64_t* start, const int64_t* stop);

    // Drops the graph before the object is deleted.
    void ReleaseInterfaces() { m_pGraph = nullptr; }

  private:
    platform::FilterGraph* m_pGraph = nullptr;
};

// The stream configuration of a video filter's capture output: interleaved first, then plain video, as
// capture devices that carry both have always been asked. nullptr when neither answers.
platform::StreamConfig* FindVideoStreamConfig(ISampleCaptureGraphBuilder* builder,
                                              platform::CaptureFilter* filter);
