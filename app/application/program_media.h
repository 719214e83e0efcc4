#pragma once
// The program's media factory: the GStreamer media platform when it is built in, else none (the program
// then runs without a camera, as on a machine that has none).

#include <memory>

#include "media/capture_graph.h"

std::unique_ptr<platform::MediaFactory> CreateProgramMediaFactory();
