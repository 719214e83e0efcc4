#pragma once
// The recorder statistics of the status bar: while recording, string 125 with frames captured, frames
// dropped, seconds and tenths; at the stop, string 124 with the frame rate (one decimal) and the data rate
// in MB/s (three decimals). GUI thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Counts since the recording began; durations in milliseconds.
std::string FormatRecordingProgress(const std::string& format, long captured, long dropped,
                                    uint32_t elapsed_ms);
std::string FormatRecordingSummary(const std::string& format, long captured, long dropped,
                                   uint32_t duration_ms, long average_frame_bytes);
