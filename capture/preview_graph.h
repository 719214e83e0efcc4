#pragma once
// Frame requests to the grabber in the preview graph (CaptureEngine builds the graph).

#include "media/capture_graph.h"

// The next frame goes to the frame handler; two requests before a frame still give one frame. Any thread.
void RequestFrame();
