#include "capture/device_discovery.h"

#include <algorithm>
#include <cctype>

#include "capture/graph_builder.h"
#include "capture/preview_graph.h"
#include "platform/debuglog/debuglog.h"

namespace {

using platform::DeviceCategory;

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

}  // namespace

bool SameDevice(const capture::DeviceMoniker& a, const capture::DeviceMoniker& b) {
    if (a.has_value() != b.has_value()) return false;
    if (!a) return true;
    return a->friendly_name == b->friendly_name && a->device_path == b->device_path && a->node == b->node;
}

int FindCameraDevice(CCaptureRecord& record) {
    platform::MediaFactory* factory = record.m_pMediaFactory.get();
    if (factory == nullptr) {
        record.m_bDevicePresent = 0;
        return 0;
    }

    const std::vector<platform::MediaDeviceInfo> videos = factory->ListDevices(DeviceCategory::VideoInput);
    if (videos.empty()) {
        record.m_bDevicePresent = 0;
        record.m_nCameraFound = 0;
    } else {
        bool matched = false;
        for (const platform::MediaDeviceInfo& info : videos) {
            // A device without a readable path never matches; an empty identity text matches the first one.
            record.m_szPidVid = Upper(record.m_szPidVid);
            if (!info.device_path.empty() &&
                Upper(info.device_path).find(record.m_szPidVid) != std::string::npos) {
                record.m_bDevicePresent = 1;
                record.m_pCameraMoniker = info;
                record.m_nCameraFound = 1;
                matched = true;
                break;
            }
            record.m_bDevicePresent = 0;
        }
        if (!matched) record.m_nCameraFound = 0;
    }

    const std::vector<platform::MediaDeviceInfo> audios = factory->ListDevices(DeviceCategory::AudioInput);
    if (audios.empty()) return 0;
    // The slot is the position in the listing, counted whether the name could be read or not.
    for (size_t position = 0; position < audios.size() && position < capture::kAudioSlots; ++position) {
        if (!audios[position].friendly_name.empty()) record.m_pAudioMonikers[position] = audios[position];
    }
    if (audios.size() > capture::kAudioSlots)
        platform::DebugLog("capture", "%zu audio inputs; only the first %d are kept", audios.size(),
                           capture::kAudioSlots);
    return 1;
}

void BindCameraDevices(CCaptureRecord& record) {
    if (record.m_nCameraFound > 0) SelectDevices(record, record.m_pCameraMoniker, record.m_pAudioMonikers[0]);
}

void SelectDevices(CCaptureRecord& record, const capture::DeviceMoniker& video,
                   const capture::DeviceMoniker& audio) {
    if (SameDevice(video, record.m_pVideoMoniker) && SameDevice(audio, record.m_pAudioMoniker)) return;
    record.m_pVideoMoniker = video;
    record.m_pAudioMoniker = audio;

    if (record.m_bRecordGraphBuilt || record.m_bPreviewGraphBuilt) DismantleGraph(record);
    ReleaseDeviceFilters(record);
    CreateDeviceFilters(record);
    if (record.m_bWantPreview) {
        AssemblePreviewGraph(record);
        RunPreview(record);
    }
    // The source menu of old menu bars: the ribbon window has none, so there is nothing to empty.
}

int CreateDeviceFilters(CCaptureRecord& record) {
    record.m_bCaptionPin = 0;
    if (!record.m_pBuilder) record.m_pBuilder = std::make_unique<ISampleCaptureGraphBuilder>();

    record.m_pVideoCapture.reset();
    if (record.m_pVideoMoniker && record.m_pMediaFactory) {
        record.m_wszCameraName = record.m_pVideoMoniker->friendly_name.substr(0, capture::kCameraNameMax);
        record.m_pVideoCapture =
            record.m_pMediaFactory->Bind(DeviceCategory::VideoInput, *record.m_pVideoMoniker);
    }
    if (!record.m_pVideoCapture) {
        ReleaseDeviceFilters(record);
        return 0;
    }

    if (!record.m_pGraph) record.m_pGraph = record.m_pMediaFactory->CreateGraph();
    if (!record.m_pGraph) {
        ReleaseDeviceFilters(record);
        return 0;
    }
    if (record.m_pBuilder->SetFiltergraph(record.m_pGraph.get()) != platform::S_OK ||
        record.m_pGraph->AddFilter(record.m_pVideoCapture.get(), record.m_wszCameraName) != platform::S_OK) {
        ReleaseDeviceFilters(record);
        return 0;
    }
    record.m_pVideoConfig = FindVideoStreamConfig(record.m_pBuilder.get(), record.m_pVideoCapture.get());

    if (record.m_pAudioMoniker)
        record.m_pAudioCapture =
            record.m_pMediaFactory->Bind(DeviceCategory::AudioInput, *record.m_pAudioMoniker);
    if (!record.m_pAudioCapture) {
        record.m_bStreamB = 0;  // recording goes on without sound
    } else {
        if (record.m_pGraph->AddFilter(record.m_pAudioCapture.get(), record.m_pAudioMoniker->friendly_name) !=
            platform::S_OK) {
            ReleaseDeviceFilters(record);
            return 0;
        }
        record.m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Audio,
                                         record.m_pAudioCapture.get(), &record.m_pAudioConfig);
    }

    if (record.m_pBuilder->FindPin(record.m_pVideoCapture.get(), PinCategory::Vbi, 0) == platform::S_OK ||
        record.m_pBuilder->FindPin(record.m_pVideoCapture.get(), PinCategory::ClosedCaptions, 0) ==
            platform::S_OK)
        record.m_bCaptionPin = 1;
    return 1;
}

void ReleaseDeviceFilters(CCaptureRecord& record) {
    // Views into the graph and the filters go before what they point into.
    record.m_pVideoWindow = nullptr;
    record.m_pMediaEvents = nullptr;
    record.m_pGraph.reset();
    if (record.m_pBuilder) {
        record.m_pBuilder->ReleaseInterfaces();
        record.m_pBuilder.reset();
    }
    record.m_pAudioConfig = nullptr;
    record.m_pVideoConfig = nullptr;
    record.m_pVideoCapture.reset();
    record.m_pAudioCapture.reset();
}
