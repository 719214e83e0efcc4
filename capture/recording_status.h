#pragma once
// The recorder statistics of the status bar: while recording, string 125 with frames captured, frames
// dropped, seconds and tenths; at the stop, string 124 with the frame rate (one decimal) and the data rate
// in MB/s (three decimals). GUI thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "capture/capture_record.h"

// Counts since the recording began; durations in milliseconds.
std::string FormatRecordingProgress(const std::string& format, long captured, long dropped,
                                    uint32_t elapsed_ms);
std::string FormatRecordingSummary(const std::string& format, long captured, long dropped,
                                   uint32_t duration_ms, long average_frame_bytes);

// The text UpdateRecordingStatus shows, or nothing when there is nothing to show (no frame counters, a
// counter that cannot be read, no frame written yet for the summary). `now_ms` is timeGetTime.
std::optional<std::string> RecordingStatusText(CCaptureRecord& record, int final, uint32_t now_ms,
                                               const std::function<std::string(unsigned id)>& strings);
