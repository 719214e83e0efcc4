#include "capture/recording_status.h"

#include <cstdio>

#include "capture/capture_engine.h"
#include "capture/graph_builder.h"
#include "capture/recording.h"
#include "capture/recording_status.h"

namespace {

// The formats are the resource library's, with %d fields only.
template <typename... Args>
std::string Format(const std::string& format, Args... args) {
    char text[260];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, format.c_str(), args...);
#pragma GCC diagnostic pop
    return text;
}

}  // namespace

std::string FormatRecordingProgress(const std::string& format, long captured, long dropped,
                                    uint32_t elapsed_ms) {
    return Format(format, static_cast<int>(captured), static_cast<int>(dropped),
                  static_cast<int>(elapsed_ms / 1000), static_cast<int>(elapsed_ms % 1000 / 100));
}

std::string FormatRecordingSummary(const std::string& format, long captured, long dropped,
                                   uint32_t duration_ms, long average_frame_bytes) {
    double frame_rate = 0;
    long data_rate = 0;  // bytes a second
    if (duration_ms > 0) {
        frame_rate = static_cast<double>(captured) * 1000.0 / duration_ms;
        data_rate = static_cast<long>(static_cast<double>(captured) * 1000.0 / duration_ms *
                                      static_cast<double>(average_frame_bytes));
    }
    const long tenths = static_cast<long>(frame_rate * 10);
    return Format(format, static_cast<int>(captured), static_cast<int>(duration_ms / 1000),
                  static_cast<int>(duration_ms % 1000 / 100), static_cast<int>(dropped),
                  static_cast<int>(tenths / 10), static_cast<int>(tenths % 10),
                  static_cast<int>(data_rate / 1000000), static_cast<int>(data_rate / 1000 % 1000));
}

std::optional<std::string> capture::CaptureEngine::RecordingStatusText(
    int final, uint32_t now_ms, const std::function<std::string(unsigned id)>& strings) {
    if (m_pDroppedFrames == nullptr) {
        platform::DroppedFrames* found = nullptr;
        if (m_pBuilder) {
            if (m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Interleaved,
                                          m_pVideoCapture.get(), &found) != platform::S_OK)
                m_pBuilder->FindInterface(PinCategory::Capture, MediaMajorType::Video, m_pVideoCapture.get(),
                                          &found);
        }
        m_pDroppedFrames = found;
        if (found == nullptr) return std::nullopt;
    }
    long captured = 0;
    long dropped = 0;
    // The flag flips at every press, so it is already off when the summary is made at the stop; the summary
    // reads the counters all the same, else it would always report no frames.
    if (g_bRecordStatistics || final) {
        if (m_pDroppedFrames->GetNumDropped(&dropped) != platform::S_OK ||
            m_pDroppedFrames->GetNumNotDropped(&captured) != platform::S_OK)
            return std::nullopt;
        dropped -= m_nDroppedAtStart;
        captured -= m_nNotDroppedAtStart;
    }
    if (!final) return FormatRecordingProgress(strings(125), captured, dropped, now_ms - m_dwRecordStart);
    long average = 0;
    if (m_pDroppedFrames->GetAverageFrameSize(&average) != platform::S_OK) return std::nullopt;
    return FormatRecordingSummary(strings(124), captured, dropped, m_dwRecordStop - m_dwRecordStart, average);
}
