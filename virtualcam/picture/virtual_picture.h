#pragma once
// The virtual camera's picture: its YUY2 stream formats, its picture and camera controls, and the frames
// it delivers. Each scene is drawn once per size (and blurred once per focus step); a frame is that base
// with the cheap control effects applied: brightness, contrast and exposure through a table, focus by
// choosing the blur, and the sensor's orientation registers (0x3820/0x3821) flipping the rows and columns.
// Controls are set on the GUI thread while frames are rendered on the streaming thread; both lock.

#include <array>
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "media/capture_graph.h"
#include "virtualcam/chip/bridge_chip.h"
#include "virtualcam/scenes/document_scenes.h"

namespace virtualcam {

// Focus position at which the picture is sharp, and the control ranges.
inline constexpr long kSharpFocus = 60;
inline constexpr long kIrisMax = 100;
// How long a hand takes to turn a page of the stack.
inline constexpr std::chrono::milliseconds kPageTurn{1200};

class VirtualPicture : public platform::StreamConfig,
                       public platform::VideoProcAmp,
                       public platform::CameraControl,
                       public platform::FrameSource {
  public:
    VirtualPicture(BridgeChip& chip, SceneChoice scene);

    // StreamConfig: YUY2 640x480 at 30 fps, 2048x1536 at 4 fps, 2592x1944 at 5 fps.
    std::vector<platform::VideoFormat> Capabilities() override;
    bool SetFormat(const platform::VideoFormat& format) override;
    std::optional<platform::VideoFormat> GetFormat() override;

    // VideoProcAmp: brightness 0..255 (128), contrast 0..31 (16), backlight compensation 0..1 (0).
    int32_t GetRange(platform::VideoProcProperty property, platform::ControlRange* range) override;
    int32_t Set(platform::VideoProcProperty property, long value, long flags) override;
    int32_t Get(platform::VideoProcProperty property, long* value, long* flags) override;
    // CameraControl: focus 0..150 with automatic, iris (exposure) 0..100 with automatic.
    int32_t GetRange(platform::CameraControlProperty property, platform::ControlRange* range) override;
    int32_t Set(platform::CameraControlProperty property, long value, long flags) override;
    int32_t Get(platform::CameraControlProperty property, long* value, long* flags) override;

    // FrameSource: false while unplugged.
    bool RenderFrame(const FrameRoom& room) override;
    using platform::FrameSource::RenderFrame;

    // A scene of photographs from a folder moves on to the next one (after the last, the first again); a
    // stack of pages turns its top page: for kPageTurn a hand passes over it and the next page is laid
    // down halfway through. Other scenes stay as they are.
    void NextPicture();
    // True while a page turn is under way.
    bool Turning() const;

    // Plugged back, the camera starts with its power-up control values (logged as "power-up").
    void SetPlugged(bool plugged);
    // Every control change and format change, one line each ("brightness 200 manual", "format 640x480").
    std::vector<std::string> ControlLog() const;
    void ClearControlLog();

  private:
    struct Control {
        long value = 0;
        long flags = platform::kControlFlagsManual;
    };
    const std::vector<uint8_t>& Base(int width, int height, int blur_level);  // with mutex_ held
    int BlurLevel() const;

    BridgeChip& chip_;
    SceneChoice scene_;
    mutable std::mutex mutex_;
    platform::VideoFormat format_;
    Control brightness_{128};
    Control contrast_{16};
    Control backlight_{0};
    Control focus_{kSharpFocus, platform::kControlFlagsAuto};
    Control iris_{50, platform::kControlFlagsAuto};
    bool plugged_ = true;
    std::map<std::pair<int, int>, std::array<std::vector<uint8_t>, 4>> bases_;
    // The page turn under way: when it began, and the pages it shows (BGR, at the format's size).
    std::optional<std::chrono::steady_clock::time_point> turn_start_;
    cv::Mat turn_from_, turn_to_;
    // The stack's page lying there (BGR, at the size it was drawn), the next turn's first half.
    cv::Mat lying_;
    // A turning frame is drawn here, frame after frame, rather than in new full-size pictures each time.
    cv::Mat turn_picture_;
    std::vector<uint8_t> turn_yuy2_;
    std::vector<std::string> log_;
};

// BGR (3 bytes a pixel, top-down, rows of width x 3) to YUY2, BT.601 studio range; `out` is resized to
// width x height x 2.
void BgrToYuy2(const uint8_t* bgr, int width, int height, size_t stride, std::vector<uint8_t>& out);

}  // namespace virtualcam
