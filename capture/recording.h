#pragma once
// What video recording (CaptureEngine::ToggleRecording, command 1030) needs from the program around it, and
// its clock. GUI thread only; the file is written by the media platform's own threads.

#include <cstdint>
#include <functional>
#include <string>

#include "capture/capture_engine.h"

// The statistics flag: the status text reads the frame counters while it is set. Every press of the record
// command flips it.
extern int g_bRecordStatistics;

// Milliseconds of a steady clock; wraps like the 32-bit tick count it stands for.
uint32_t timeGetTime();

struct RecordingHooks {
    // MakeVideoFileName: the view's next output file for the video ("" when the folder has no free number).
    std::function<std::string()> make_video_file_name;
    // The settings summary of the status bar (the preview-size changes refresh it).
    std::function<void()> update_status_text;
    // The recorder statistics in the status bar; `final` nonzero gives the summary.
    std::function<void(int final)> update_recording_status;
    // The user is told why a recording did not start (m_hrRecordResult), or that it ended early; the file
    // is m_szVideoFile.
    std::function<void(const capture::CaptureEngine& engine, bool ended_early)> report_failure;
};
