#include "capture/device_discovery.h"

#include <algorithm>
#include <cctype>

#include "capture/capture_engine.h"
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

int capture::CaptureEngine::FindCameraDevice() {
    platform::MediaFactory* factory = m_pMediaFactory.get();
    if (factory == nullptr) {
        settings_.m_bDevicePresent = 0;
        return 0;
    }

    const std::vector<platform::MediaDeviceInfo> videos = factory->ListDevices(DeviceCategory::VideoInput);
    if (videos.empty()) {
        settings_.m_bDevicePresent = 0;
        m_nCameraFound = 0;
    } else {
        bool matched = false;
        for (const platform::MediaDeviceInfo& info : videos) {
            // A device without a readable path never matches; an empty identity text matches the first one.
            settings_.m_szPidVid = Upper(settings_.m_szPidVid);
            if (!info.device_path.empty() &&
                Upper(info.device_path).find(settings_.m_szPidVid) != std::string::npos) {
                settings_.m_bDevicePresent = 1;
                m_cameraMoniker = info;
                m_nCameraFound = 1;
                matched = true;
                break;
            }
            settings_.m_bDevicePresent = 0;
        }
        if (!matched) m_nCameraFound = 0;
    }

    const std::vector<platform::MediaDeviceInfo> audios = factory->ListDevices(DeviceCategory::AudioInput);
    if (audios.empty()) return 0;
    // The slot is the position in the listing, counted whether the name could be read or not.
    for (size_t position = 0; position < audios.size() && position < capture::kAudioSlots; ++position) {
        if (!audios[position].friendly_name.empty()) m_audioMonikers[position] = audios[position];
    }
    if (audios.size() > capture::kAudioSlots)
        platform::DebugLog("capture", "%zu audio inputs; only the first %d are kept", audios.size(),
                           capture::kAudioSlots);
    return 1;
}

void capture::CaptureEngine::BindCameraDevices() {
    if (m_nCameraFound > 0) SelectDevices(m_cameraMoniker, m_audioMonikers[0]);
}

void capture::CaptureEngine::SelectDevices(const capture::DeviceMoniker& video,
                                           const capture::DeviceMoniker& audio) {
    if (SameDevice(video, m_videoMoniker) && SameDevice(audio, m_audioMoniker)) return;
    m_videoMoniker = video;
    m_audioMoniker = audio;

    if (State() != GraphState::Empty) DismantleGraph();
    ReleaseDeviceFilters();
    CreateDeviceFilters();
    if (m_bWantPreview) {
        AssemblePreviewGraph();
        RunPreview();
    }
    // The source menu of old menu bars: the ribbon window has none, so there is nothing to empty.
}

int capture::CaptureEngine::CreateDeviceFilters() {
    if (!m_pBuilder) m_pBuilder = std::make_unique<ISampleCaptureGraphBuilder>();

    m_pVideoCapture.reset();
    if (m_videoMoniker && m_pMediaFactory) {
        m_szCameraName = m_videoMoniker->friendly_name.substr(0, capture::kCameraNameMax);
        m_pVideoCapture = m_pMediaFactory->Bind(DeviceCategory::VideoInput, *m_videoMoniker);
    }
    if (!m_pVideoCapture) {
        ReleaseDeviceFilters();
        return 0;
    }

    if (!m_pGraph) m_pGraph = m_pMediaFactory->CreateGraph();
    if (!m_pGraph) {
        ReleaseDeviceFilters();
        return 0;
    }
    if (m_pBuilder->SetFiltergraph(m_pGraph.get()) != platform::S_OK ||
        m_pGraph->AddFilter(m_pVideoCapture.get(), m_szCameraName) != platform::S_OK) {
        ReleaseDeviceFilters();
        return 0;
    }
    m_pVideoConfig = FindVideoStreamConfig(m_pBuilder.get(), m_pVideoCapture.get());

    if (m_audioMoniker) m_pAudioCapture = m_pMediaFactory->Bind(DeviceCategory::AudioInput, *m_audioMoniker);
    if (!m_pAudioCapture) {
        settings_.m_bStreamB = 0;  // recording goes on without sound
    } else {
        if (m_pGraph->AddFilter(m_pAudioCapture.get(), m_audioMoniker->friendly_name) != platform::S_OK) {
            ReleaseDeviceFilters();
            return 0;
        }
    }
    return 1;
}

void capture::CaptureEngine::ReleaseDeviceFilters() {
    // Views into the graph and the filters go before what they point into.
    m_pVideoWindow = nullptr;
    m_pMediaEvents = nullptr;
    m_pGraph.reset();
    if (m_pBuilder) {
        m_pBuilder->ReleaseInterfaces();
        m_pBuilder.reset();
    }
    m_pVideoConfig = nullptr;
    m_pVideoCapture.reset();
    m_pAudioCapture.reset();
}
