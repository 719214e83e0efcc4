#include "platform/media/v4l2_controls.h"

#include <linux/videodev2.h>

#include "platform/media/capture_graph.h"

namespace platform {
namespace {

uint32_t PictureId(VideoProcProperty property) {
    switch (property) {
        case VideoProcProperty::Brightness: return kV4l2CidBrightness;
        case VideoProcProperty::Contrast: return kV4l2CidContrast;
        case VideoProcProperty::BacklightCompensation: return kV4l2CidBacklightCompensation;
    }
    return 0;
}

}  // namespace

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
    v4l2_queryctrl query{};
    query.id = PictureId(property);
    if (io_.Ioctl(VIDIOC_QUERYCTRL, &query) != 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return E_FAIL;
    *range = ControlRange{query.minimum, query.maximum, query.step, query.default_value, kControlFlagsManual};
    return S_OK;
}

int32_t V4l2Controls::SetPicture(VideoProcProperty property, long value, long flags) {
    // These controls have no automatic mode on UVC cameras.
    if (flags != kControlFlagsManual) return E_FAIL;
    return Write(PictureId(property), value) ? S_OK : E_FAIL;
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
    if (!read) return E_FAIL;
    *value = *read;
    *flags = kControlFlagsManual;
    return S_OK;
}

int32_t V4l2Controls::GetRange(CameraControlProperty property, ControlRange* range) {
    std::lock_guard<std::recursive_mutex> lock(mutex_);
    uint32_t absolute = kV4l2CidFocusAbsolute;
    uint32_t automatic = kV4l2CidFocusAuto;
    if (property != CameraControlProperty::Focus) {
        absolute = Exists(kV4l2CidExposureAbsolute) || !Exists(kV4l2CidIrisAbsolute) ? kV4l2CidExposureAbsolute
                                                                                     : kV4l2CidIrisAbsolute;
        automatic = kV4l2CidExposureAuto;
    }
    v4l2_queryctrl query{};
    query.id = absolute;
    if (io_.Ioctl(VIDIOC_QUERYCTRL, &query) != 0 || (query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) return E_FAIL;
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
        return Write(kV4l2CidFocusAbsolute, value) ? S_OK : E_FAIL;
    }
    if (automatic) return SetExposureAuto();
    if (Exists(kV4l2CidExposureAuto) && !Write(kV4l2CidExposureAuto, kV4l2ExposureManual)) return E_FAIL;
    if (Exists(kV4l2CidExposureAbsolute)) return Write(kV4l2CidExposureAbsolute, value) ? S_OK : E_FAIL;
    return Write(kV4l2CidIrisAbsolute, value) ? S_OK : E_FAIL;
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
        mode = !exposure_auto || *exposure_auto == kV4l2ExposureManual ? kControlFlagsManual : kControlFlagsAuto;
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
