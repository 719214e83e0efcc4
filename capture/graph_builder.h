#pragma once
// The graph builder object: every graph-building call of the engine goes through it, so that building
// could be specialised in one place. Here each operation is passed straight to the graph it was given.
// GUI thread only.

#include <cstdint>

#include "platform/media/capture_graph.h"

enum class PinCategory { Capture, Preview, Vbi, ClosedCaptions };
enum class MediaMajorType { Interleaved, Video, Audio };

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
    virtual int32_t FindPin(platform::CaptureFilter* filter, PinCategory category, int index);
    virtual int32_t GetFiltergraph(platform::FilterGraph** graph);
    // Renders the source's stream of the category through the intermediate grabber into the default renderer.
    virtual int32_t RenderStream(PinCategory category, MediaMajorType type, platform::CaptureFilter* source,
                                 platform::FrameSink* intermediate);
    virtual int32_t SetFiltergraph(platform::FilterGraph* graph);

    // Releases the filters the object created itself (it holds none of its own).
    void ReleaseFilters() {}
    // Drops the graph before the object is deleted.
    void ReleaseInterfaces() { m_pGraph = nullptr; }

  private:
    platform::FilterGraph* m_pGraph = nullptr;
};

// The stream configuration of a video filter's capture output: interleaved first, then plain video, as
// capture devices that carry both have always been asked. nullptr when neither answers.
platform::StreamConfig* FindVideoStreamConfig(ISampleCaptureGraphBuilder* builder,
                                              platform::CaptureFilter* filter);
