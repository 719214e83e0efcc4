#pragma once
// Picture and camera controls of a V4L2 node by numeric control ID (control names changed between kernels):
// brightness, contrast and backlight compensation as they are; focus with its auto switch; the iris
// property drives exposure (auto exposure menu, exposure absolute, iris absolute where the camera has it).
// An automatic mode is always switched off before an absolute value is written.
//
// Picture controls speak the shipped camera's scale (brightness 0..255, contrast 0..31, backlight 0..1), the
// one the settings and dialogs use: values are mapped linearly onto the range the driver reports
// (VIDIOC_QUERY_EXT_CTRL) and back, so a driver with the shipped camera's ranges gets exactly the values
// asked. Focus and exposure values are clamped to the driver's range. Nothing is refused for its value.
//
// UVC cameras reset some controls when streaming starts, so every value set is kept and Resend() writes
// them again in the order they were first set. Thread-safe: the graph resends from its streaming thread.

#include <linux/videodev2.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "media/device_controls.h"
#include "media/v4l2_io.h"

namespace platform {

// The kernel's control IDs and auto-exposure menu entries, under the names the rest of the program uses.
constexpr uint32_t kV4l2CidBrightness = V4L2_CID_BRIGHTNESS;
constexpr uint32_t kV4l2CidContrast = V4L2_CID_CONTRAST;
constexpr uint32_t kV4l2CidBacklightCompensation = V4L2_CID_BACKLIGHT_COMPENSATION;
constexpr uint32_t kV4l2CidExposureAuto = V4L2_CID_EXPOSURE_AUTO;
constexpr uint32_t kV4l2CidExposureAbsolute = V4L2_CID_EXPOSURE_ABSOLUTE;
constexpr uint32_t kV4l2CidFocusAbsolute = V4L2_CID_FOCUS_ABSOLUTE;
constexpr uint32_t kV4l2CidFocusAuto = V4L2_CID_FOCUS_AUTO;
constexpr uint32_t kV4l2CidIrisAbsolute = V4L2_CID_IRIS_ABSOLUTE;
constexpr long kV4l2ExposureAuto = V4L2_EXPOSURE_AUTO;
constexpr long kV4l2ExposureManual = V4L2_EXPOSURE_MANUAL;
constexpr long kV4l2ExposureAperturePriority = V4L2_EXPOSURE_APERTURE_PRIORITY;

// A control's range and step.
struct ControlScale {
    int64_t minimum = 0;
    int64_t maximum = 0;
    int64_t step = 1;
};

// The shipped camera's scale of a picture control.
ControlScale ShippedScale(VideoProcProperty property);
// value on `from` mapped linearly onto `to`, then onto its steps and into its range; unchanged (clamped
// only) when the two scales are the same.
int64_t ConvertControlValue(int64_t value, const ControlScale& from, const ControlScale& to);

class V4l2Controls : public VideoProcAmp, public CameraControl {
  public:
    explicit V4l2Controls(V4l2Io& io) : io_(io) {}

    int32_t GetRange(VideoProcProperty property, ControlRange* range) override;
    int32_t Set(VideoProcProperty property, long value, long flags) override;
    int32_t Get(VideoProcProperty property, long* value, long* flags) override;

    int32_t GetRange(CameraControlProperty property, ControlRange* range) override;
    int32_t Set(CameraControlProperty property, long value, long flags) override;
    int32_t Get(CameraControlProperty property, long* value, long* flags) override;

    // Writes every stored value again.
    void Resend();

  private:
    struct Stored {
        bool camera = false;
        int property = 0;
        long value = 0;
        long flags = 0;
    };

    std::optional<long> Read(uint32_t id);
    // The driver's range of an enabled control.
    std::optional<ControlScale> DriverScale(uint32_t id, int64_t* default_value = nullptr);
    // Clamped to the driver's range; false when the control is missing or the write fails.
    bool WriteClamped(uint32_t id, long value);
    bool Write(uint32_t id, long value);
    bool Exists(uint32_t id);
    int32_t SetPicture(VideoProcProperty property, long value, long flags);
    int32_t SetCamera(CameraControlProperty property, long value, long flags);
    int32_t SetExposureAuto();
    void Remember(bool camera, int property, long value, long flags);

    V4l2Io& io_;
    std::recursive_mutex mutex_;
    std::vector<Stored> stored_;
};

}  // namespace platform
