#pragma once
// A V4L2 node's YUY2 stream formats, as the capture engine chooses among them: one format per frame size,
// at the size's shortest frame interval (the camera's full rate).

#include <optional>
#include <vector>

#include "media/device_controls.h"
#include "media/v4l2_io.h"

namespace platform {

// From VIDIOC_ENUM_FMT, ENUM_FRAMESIZES and ENUM_FRAMEINTERVALS; stepwise sizes give their smallest and
// largest. Empty when the node offers no YUY2.
std::vector<VideoFormat> ListYuy2Formats(V4l2Io& io);

// Whether the driver takes the format as it is (VIDIOC_TRY_FMT keeps its size): a camera that would
// deliver another size refuses it.
bool DriverAcceptsFormat(V4l2Io& io, const VideoFormat& format);

// The capability of `formats` with the format's fourcc and size, nothing when there is none.
std::optional<VideoFormat> MatchingFormat(const std::vector<VideoFormat>& formats, const VideoFormat& format);

}  // namespace platform
