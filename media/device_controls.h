#pragma once
// A capture device's stream formats and picture/camera controls, as the capture engine sees them, and the
// frame source of a device that is not a V4L2 node (the virtual camera). Plain C++.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace platform {

constexpr uint32_t kFourccYuy2 = 0x32595559;  // 'YUY2'

struct VideoFormat {
    uint32_t fourcc = kFourccYuy2;
    int width = 0;
    int height = 0;
    int bit_count = 16;
    // Frame interval as a fraction of a second; 0/0 lets the device choose.
    int interval_numerator = 0;
    int interval_denominator = 0;
    bool operator==(const VideoFormat&) const = default;
};

// IAMStreamConfig of the capture pin.
class StreamConfig {
  public:
    virtual ~StreamConfig() = default;
    virtual std::vector<VideoFormat> Capabilities() = 0;
    // False when the device refuses; the old format then stays.
    virtual bool SetFormat(const VideoFormat& format) = 0;
    virtual std::optional<VideoFormat> GetFormat() = 0;
};

// Picture controls (IAMVideoProcAmp) and camera controls (IAMCameraControl), by the classic property
// numbers. Flags: 1 automatic, 2 manual.
enum class VideoProcProperty { Brightness = 0, Contrast = 1, BacklightCompensation = 8 };
enum class CameraControlProperty { Exposure = 4, Iris = 5, Focus = 6 };
constexpr long kControlFlagsAuto = 1;
constexpr long kControlFlagsManual = 2;

struct ControlRange {
    long min = 0;
    long max = 0;
    long step = 1;
    long default_value = 0;
    long caps_flags = kControlFlagsManual;  // which of the flags the device accepts
};

class VideoProcAmp {
  public:
    virtual ~VideoProcAmp() = default;
    virtual int32_t GetRange(VideoProcProperty property, ControlRange* range) = 0;
    virtual int32_t Set(VideoProcProperty property, long value, long flags) = 0;
    virtual int32_t Get(VideoProcProperty property, long* value, long* flags) = 0;
};

class CameraControl {
  public:
    virtual ~CameraControl() = default;
    virtual int32_t GetRange(CameraControlProperty property, ControlRange* range) = 0;
    virtual int32_t Set(CameraControlProperty property, long value, long flags) = 0;
    virtual int32_t Get(CameraControlProperty property, long* value, long* flags) = 0;
};

// Frames of a device that renders its own picture (the virtual camera): the media platform asks for one
// frame at a time, at the format's frame rate, on its streaming thread.
class FrameSource {
  public:
    virtual ~FrameSource() = default;
    // Room for a frame of the format: width x height x 2 bytes, or nullptr when there is none (the frame is
    // then not drawn).
    using FrameRoom = std::function<uint8_t*(const VideoFormat& format)>;
    // Draws the next frame in the current format (2 bytes a pixel, width x height, top-down) straight into
    // the room `room` gives for it, so that the stream's own buffer is filled without a copy. False when the
    // device is gone (unplugged).
    virtual bool RenderFrame(const FrameRoom& room) = 0;
    // The same into `yuy2` (resized), saying which format it is.
    bool RenderFrame(std::vector<uint8_t>& yuy2, VideoFormat& format) {
        return RenderFrame([&](const VideoFormat& drawn) {
            format = drawn;
            yuy2.resize(static_cast<size_t>(drawn.width) * static_cast<size_t>(drawn.height) * 2);
            return yuy2.data();
        });
    }
};

}  // namespace platform
