#include "media/v4l2_controls.h"

#include <linux/videodev2.h>

#include <algorithm>

#include "media/capture_graph.h"
#include "platform/debuglog/debuglog.h"

namespace platform {
namespace {

uint32_t PictureId(VideoProcProperty property) {
    switch (property) {
        case VideoProcProperty::Brightness:
            return kV4l2CidBrightness;
        case VideoProcProperty::Contrast:
            return kV4l2CidContrast;
        case VideoProcProperty::BacklightCompensation:
            return kV4l2CidBacklightCompensation;
    }
    return 0;
}

const char* PictureName(VideoProcProperty property) {
    switch (property) {
        case VideoProcProperty::Brightness:
            return "brightness";
        case VideoProcProperty::Contrast:
            return "contrast";
        case VideoProcProperty::BacklightCompensation:
            return "backlight";
    }
    return "?";
}

// Halves away from zero, so that a value and its way back meet again.
int64_t DivideRounded(int64_t numerator, int64_t denominator) {
    if (denominator < 0) numerator = -numerator, denominator = -denominator;
    return numerator >= 0 ? (numerator + denominator / 2) / denominator
                          : -((-numerator + denominator / 2) / denominator);
}

}  // namespace

ControlScale ShippedScale(VideoProcProperty property) {
    switch (property) {
        case VideoProcProperty::Brightness:
            return {0, 255, 1};
        case VideoProcProperty::Contrast:
            return {0, 31, 1};
        case VideoProcProperty::BacklightCompensation:
            return {0, 1, 1};
    }
    return {};
}

int64_t ConvertControlValue(int64_t value, const ControlScale& from, const ControlScale& to) {
    if (to.maximum <= to.minimum) return to.minimum;
    int64_t mapped = value;
    if (from.minimum != to.minimum || from.maximum != to.maximum) {
        int64_t clamped =
            std::clamp(value, std::min(from.minimum, from.maximum), std::max(from.minimum, from.maximum));
        int64_t span = from.maximum - from.minimum;
        mapped = span == 0
                     ? to.minimum
                     : to.minimum + DivideRounded((clamped - from.minimum) * (to.maximum - to.minimum), span);
    }
    mapped = std::clamp(mapped, to.minimum, to.maximum);
    if (to.step > 1) {
        mapped = to.minimum + DivideRounded(mapped - to.minimum, to.step) * to.step;
        if (mapped > to.maximum) mapped -= to.step;
    }
    return mapped;
}

std::optional<ControlScale> V4l2Controls::DriverScale(uint32_t id, int64_t* default_value) {
    v4l2_query_ext_ctrl query{};
    query.id = id;
    if (io_.Ioctl(VIDIOC_QUERY_EXT_CTRL, &query) != 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED) != 0)
        return std::nullopt;
    if (default_value != nullptr) *default_value = query.default_value;
    return ControlScale{query.minimum, query.maximum, query.step > 0 ? static_cast<int64_t>(query.step) : 1};
}

bool V4l2Controls::WriteClamped(uint32_t id, long value) {
    std::optional<ControlScale> scale = DriverScale(id);
    if (!scale) return false;
    long written = static_cast<long>(ConvertControlValue(value, *scale, *scale));
    if (written != value)
        DebugLog("media", "control 0x%08X: %ld is outside the driver's %lld..%lld, %ld written", id, value,
                 static_cast<long long>(scale->minimum), static_cast<long long>(scale->maximum), written);
    return Write(id, written);
}

std::optional<long> V4l2Controls::Read(uint32_t id) {
    v4l2_ext_control control{};
    control.id = id;
    v4l2_ext_controls controls{};
    controls.which = V4L2_CTRL_WHICH_CUR_VAL;
    controls.count = 1;
    controls.controls = &control;
    if (io_.Ioctl(VIDIOC_G_EXT_CTRLS, &controls) != 0) return std::nullopt;
    return static_cast<long>(control.value);
}

bool V4l2Controls::Write(uint32_t id, long value) {
    v4l2_ext_control control{};
    control.id = id;
    control.value = static_cast<int32_t>(value);
    v4l2_ext_controls controls{};
    controls.which = V4L2_CTRL_WHICH_CUR_VAL;
    controls.count = 1;
    controls.controls = &control;
    return io_.Ioctl(VIDIOC_S_EXT_CTRLS, &controls) == 0;
}

bool V4l2Controls::Exists(uint32_t id) {
    v4l2_queryctrl query{};
    query.id = id;
    return io_.Ioctl(VIDIOC_QUERYCTRL, &query) == 0 && (query.flags & V4L2_CTRL_FLAG_DISABLED) == 0;
}

void V4l2Controls::Remember(bool camera, int property, long value, long flags) {
    for (Stored& stored : stored_) {
        if (stored.camera == camera && stored.property == property) {
            stored.value = value;
            stored.flags = flags;
            return;
        }
    }
    stored_.push_back({camera, property, value, flags});
}

int32_t V4l2Controls::GetRange(VideoProcProperty property, ControlRange* range) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int64_t driver_default = 0;
    std::optional<ControlScale> driver = DriverScale(PictureId(property), &driver_default);
    if (!driver) return E_FAIL;
    const ControlScale shipped = ShippedScale(property);
    *range = ControlRange{static_cast<long>(shipped.minimum), static_cast<long>(shipped.maximum),
                          static_cast<long>(shipped.step),
                          static_cast<long>(ConvertControlValue(driver_default, *driver, shipped)),
                          kControlFlagsManual};
    return S_OK;
}

int32_t V4l2Controls::SetPicture(VideoProcProperty property, long value, long flags) {
    // These controls have no automatic mode on UVC cameras.
    if (flags != kControlFlagsManual) return E_FAIL;
    std::optional<ControlScale> driver = DriverScale(PictureId(property));
    if (!driver) return E_FAIL;
    const long written = static_cast<long>(ConvertControlValue(value, ShippedScale(property), *driver));
    if (written != value)
        DebugLog("media", "%s %ld on the camera's scale written as %ld (driver %lld..%lld)",
                 PictureName(property), value, written, static_cast<long long>(driver->minimum),
                 static_cast<long long>(driver->maximum));
    return Write(PictureId(property), written) ? S_OK : E_FAIL;
}

int32_t V4l2Controls::Set(VideoProcProperty property, long value, long flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int32_t result = SetPicture(property, value, flags);
    if (result == S_OK) Remember(false, static_cast<int>(property), value, flags);
    return result;
}

int32_t V4l2Controls::Get(VideoProcProperty property, long* value, long* flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::optional<long> read = Read(PictureId(property));
    std::optional<ControlScale> driver = DriverScale(PictureId(property));
    if (!read || !driver) return E_FAIL;
    *value = static_cast<long>(ConvertControlValue(*read, *driver, ShippedScale(property)));
    *flags = kControlFlagsManual;
    return S_OK;
}

int32_t V4l2Controls::GetRange(CameraControlProperty property, ControlRange* range) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint32_t absolute = kV4l2CidFocusAbsolute;
    uint32_t automatic = kV4l2CidFocusAuto;
    if (property != CameraControlProperty::Focus) {
        absolute = Exists(kV4l2CidExposureAbsolute) || !Exists(kV4l2CidIrisAbsolute)
                       ? kV4l2CidExposureAbsolute
                       : kV4l2CidIrisAbsolute;
        automatic = kV4l2CidExposureAuto;
    }
    v4l2_queryctrl query{};
    query.id = absolute;
    if (io_.Ioctl(VIDIOC_QUERYCTRL, &query) != 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED) != 0)
        return E_FAIL;
    long caps = kControlFlagsManual | (Exists(automatic) ? kControlFlagsAuto : 0);
    *range = ControlRange{query.minimum, query.maximum, query.step, query.default_value, caps};
    return S_OK;
}

int32_t V4l2Controls::SetExposureAuto() {
    // Aperture priority is what most UVC cameras accept; some offer only full auto.
    if (Write(kV4l2CidExposureAuto, kV4l2ExposureAperturePriority)) return S_OK;
    return Write(kV4l2CidExposureAuto, kV4l2ExposureAuto) ? S_OK : E_FAIL;
}

int32_t V4l2Controls::SetCamera(CameraControlProperty property, long value, long flags) {
    if (flags != kControlFlagsAuto && flags != kControlFlagsManual) return E_FAIL;
    bool automatic = flags == kControlFlagsAuto;
    if (property == CameraControlProperty::Focus) {
        if (automatic) return Write(kV4l2CidFocusAuto, 1) ? S_OK : E_FAIL;
        // A camera without the auto switch is manual already.
        if (Exists(kV4l2CidFocusAuto) && !Write(kV4l2CidFocusAuto, 0)) return E_FAIL;
        return WriteClamped(kV4l2CidFocusAbsolute, value) ? S_OK : E_FAIL;
    }
    if (automatic) return SetExposureAuto();
    if (Exists(kV4l2CidExposureAuto) && !Write(kV4l2CidExposureAuto, kV4l2ExposureManual)) return E_FAIL;
    if (Exists(kV4l2CidExposureAbsolute))
        return WriteClamped(kV4l2CidExposureAbsolute, value) ? S_OK : E_FAIL;
    return WriteClamped(kV4l2CidIrisAbsolute, value) ? S_OK : E_FAIL;
}

int32_t V4l2Controls::Set(CameraControlProperty property, long value, long flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    int32_t result = SetCamera(property, value, flags);
    if (result == S_OK) Remember(true, static_cast<int>(property), value, flags);
    return result;
}

int32_t V4l2Controls::Get(CameraControlProperty property, long* value, long* flags) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    std::optional<long> read;
    std::optional<long> mode;
    if (property == CameraControlProperty::Focus) {
        read = Read(kV4l2CidFocusAbsolute);
        std::optional<long> focus_auto = Read(kV4l2CidFocusAuto);
        mode = focus_auto && *focus_auto != 0 ? kControlFlagsAuto : kControlFlagsManual;
    } else {
        read = Read(kV4l2CidExposureAbsolute);
        if (!read) read = Read(kV4l2CidIrisAbsolute);
        std::optional<long> exposure_auto = Read(kV4l2CidExposureAuto);
        mode =
            !exposure_auto || *exposure_auto == kV4l2ExposureManual ? kControlFlagsManual : kControlFlagsAuto;
    }
    if (!read) return E_FAIL;
    *value = *read;
    *flags = *mode;
    return S_OK;
}

void V4l2Controls::Resend() {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    for (const Stored& stored : stored_) {
        if (stored.camera) {
            SetCamera(static_cast<CameraControlProperty>(stored.property), stored.value, stored.flags);
        } else {
            SetPicture(static_cast<VideoProcProperty>(stored.property), stored.value, stored.flags);
        }
    }
}

}  // namespace platform
