#include "capture/graph_builder.h"

namespace {

// Which media type a device's output carries: no device of ours is interleaved (DV-style).
bool Carries(const platform::CaptureFilter& filter, MediaMajorType type) {
    switch (type) {
        case MediaMajorType::Video:
            return filter.Category() == platform::DeviceCategory::VideoInput;
        case MediaMajorType::Audio:
            return filter.Category() == platform::DeviceCategory::AudioInput;
        case MediaMajorType::Interleaved:
            return false;
    }
    return false;
}

}  // namespace

int32_t ISampleCaptureGraphBuilder::FindInterface(PinCategory category, MediaMajorType type,
                                                  platform::CaptureFilter* filter,
                                                  platform::StreamConfig** config) {
    if (config == nullptr) return platform::E_FAIL;
    *config = nullptr;
    if (filter == nullptr || category != PinCategory::Capture || !Carries(*filter, type))
        return platform::E_FAIL;
    *config = filter->QueryStreamConfig();
    return *config != nullptr ? platform::S_OK : platform::E_FAIL;
}

int32_t ISampleCaptureGraphBuilder::FindInterface(PinCategory category, MediaMajorType type,
                                                  platform::CaptureFilter* filter,
                                                  platform::DroppedFrames** dropped) {
    if (dropped == nullptr) return platform::E_FAIL;
    *dropped = nullptr;
    if (filter == nullptr || category != PinCategory::Capture || !Carries(*filter, type))
        return platform::E_FAIL;
    *dropped = filter->QueryDroppedFrames();
    return *dropped != nullptr ? platform::S_OK : platform::E_FAIL;
}

int32_t ISampleCaptureGraphBuilder::RenderStream(PinCategory category, MediaMajorType type,
                                                 platform::CaptureFilter* source,
                                                 platform::FrameSink* intermediate) {
    if (m_pGraph == nullptr || source == nullptr || category != PinCategory::Preview ||
        !Carries(*source, type))
        return platform::E_FAIL;
    return m_pGraph->RenderPreview(source, intermediate);
}

int32_t ISampleCaptureGraphBuilder::RenderStream(PinCategory category, MediaMajorType type,
                                                 platform::CaptureFilter* source,
                                                 platform::FrameSink* intermediate,
                                                 platform::FilterGraph* mux) {
    if (mux == nullptr) return RenderStream(category, type, source, intermediate);
    if (source == nullptr || category != PinCategory::Capture || intermediate != nullptr ||
        !Carries(*source, type))
        return platform::E_FAIL;
    return mux->RenderCaptureToFile(source);
}

int32_t ISampleCaptureGraphBuilder::SetOutputFileName(MediaSubtype subtype, const std::string& file,
                                                      platform::FilterGraph** mux) {
    if (mux == nullptr) return platform::E_FAIL;
    *mux = nullptr;
    if (m_pGraph == nullptr || file.empty()) return platform::E_FAIL;
    const int32_t result = m_pGraph->SetOutputFileName(
        subtype == MediaSubtype::Asf ? platform::FileContainer::WindowsMedia : platform::FileContainer::Avi,
        file);
    if (result == platform::S_OK) *mux = m_pGraph;
    return result;
}

int32_t ISampleCaptureGraphBuilder::ControlStream(PinCategory category, const int64_t* start,
                                                  const int64_t* /*stop*/) {
    if (m_pGraph == nullptr || category != PinCategory::Capture) return platform::E_FAIL;
    return m_pGraph->ControlCaptureStream(start == nullptr || *start != MAXLONGLONG);
}

int32_t ISampleCaptureGraphBuilder::SetFiltergraph(platform::FilterGraph* graph) {
    m_pGraph = graph;
    return graph != nullptr ? platform::S_OK : platform::E_FAIL;
}

platform::StreamConfig* FindVideoStreamConfig(ISampleCaptureGraphBuilder* builder,
                                              platform::CaptureFilter* filter) {
    platform::StreamConfig* config = nullptr;
    if (builder == nullptr) return nullptr;
    if (builder->FindInterface(PinCategory::Capture, MediaMajorType::Interleaved, filter, &config) !=
        platform::S_OK)
        builder->FindInterface(PinCategory::Capture, MediaMajorType::Video, filter, &config);
    return config;
}
