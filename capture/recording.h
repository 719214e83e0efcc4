#pragma once
// Video recording (command 1030): the preview graph gives way to a recording graph that writes the camera's
// capture stream (and the sound, when "VIDEO STREAM" asks for it) to a Windows Media or AVI file in the save
// folder while the live picture goes on; it always runs at 640 x 480 and the preview size comes back after
// it. GUI thread only; the file is written by the media platform's own threads.

#include <cstdint>
#include <functional>
#include <string>

#include "capture/capture_record.h"

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
    std::function<void(const CCaptureRecord& record, bool ended_early)> report_failure;
};

// The body of command 1030: starts, or (pressed again) stops, a recording.
void ToggleRecording(CCaptureRecord& record, const RecordingHooks& hooks);
// 1 when the recording graph is built (or was already).
int AssembleRecordingGraph(CCaptureRecord& record);
// 1 when the recording runs (or already ran).
int BeginRecording(CCaptureRecord& record);
// 1 when the graph was stopped; 0 when no recording ran or stopping failed.
int EndRecording(CCaptureRecord& record);

// Command 1030 as the program runs it: ToggleRecording, and when a start did not get a recording running,
// one message and the stop branch at once, so that the live picture comes back and the next press starts.
void RecordCommand(CCaptureRecord& record, const RecordingHooks& hooks);
// A running recording failed (the camera went, the writer failed): the file gets its end, the preview comes
// back, the user is told once. Nothing when no recording runs.
void RecordingFailed(CCaptureRecord& record, const RecordingHooks& hooks);
