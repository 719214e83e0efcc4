#pragma once
// The preview graph: the camera's capture filter feeds the frame grabber, which feeds the video window in
// the view. Stills at another size are taken by switching the stream format and rebuilding the graph
// (RestartPreview). GUI thread only, except RequestFrame, which any thread may call.

#include "capture/capture_record.h"

// 1 when the graph is built (or was already), 0 otherwise.
int AssemblePreviewGraph(CCaptureRecord& record);
// 1 when the graph runs (or already ran).
int RunPreview(CCaptureRecord& record);
// 1 when the graph was stopped; it does not look at m_bPreviewing first.
int HaltPreview(CCaptureRecord& record);
// Removes everything downstream of the capture filters and drops the per-graph interfaces; the graph must
// be stopped. The capture filters and the graph object stay.
void DismantleGraph(CCaptureRecord& record);
void RemoveDownstream(CCaptureRecord& record, platform::CaptureFilter* filter);
// The first YUY2, 16-bit stream format of exactly this size; without one the format stays as it was
// (false).
bool ApplyPreviewFormat(CCaptureRecord& record, int width, int height);
// Places the video window at the largest 4:3 rectangle centred in the view and tells the view.
void FitVideoWindow(CCaptureRecord& record);
// Halt, dismantle, format, build, run: the one sequence of every size change. False when the camera
// does not offer the size.
bool RestartPreview(CCaptureRecord& record, int width, int height);
// The capture frame size from "SETSIZE", and the stream restarted at it when the preview runs at another
// size. True when the stream was switched (the sensor settings are then the caller's to send). When the
// camera does not offer the size, the capture size is the one the stream keeps.
bool SwitchStreamToCaptureSize(CCaptureRecord& record);
// The next frame goes to the frame handler; two requests before a frame still give one frame.
void RequestFrame();
// The two filters are one object.
bool IsSameComObject(const platform::CaptureFilter* a, const platform::CaptureFilter* b);

// The engine's end, in order: halt, end a recording, dismantle, release the filters and the grabber.
void ShutdownEngine(CCaptureRecord& record);
