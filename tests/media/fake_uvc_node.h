#pragma once
// A V4L2 node that answers as the kernel's UVC driver does for a document camera: YUY2 and MJPEG formats
// with discrete sizes and intervals, TRY_FMT moving to the nearest size it has, and controls with ranges,
// a menu that offers only some entries, and absolute values refused while their automatic mode is on.

#include <linux/videodev2.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "media/v4l2_controls.h"
#include "media/v4l2_io.h"

class FakeUvcNode : public platform::V4l2Io {
  public:
    struct Control {
        int32_t min = 0, max = 255, step = 1, def = 0, value = 0;
        std::set<int32_t> menu;  // a menu control's entries; empty for an integer control
    };
    struct Size {
        uint32_t width, height;
        std::vector<std::pair<uint32_t, uint32_t>> intervals;
    };

    std::vector<uint32_t> pixel_formats{V4L2_PIX_FMT_MJPEG, V4L2_PIX_FMT_YUYV};
    std::vector<Size> sizes{
        {640, 480, {{1, 15}, {1, 30}}}, {2048, 1536, {{1, 4}}}, {2592, 1944, {{2, 5}, {1, 1}}}};
    std::map<uint32_t, Control> controls;
    std::pair<uint32_t, uint32_t> current_size{2048, 1536};
    std::vector<std::pair<uint32_t, int32_t>> writes;  // accepted S_EXT_CTRLS, in order

    static FakeUvcNode DocumentCamera() {
        FakeUvcNode node;
        node.controls[platform::kV4l2CidBrightness] = {-64, 64, 1, 0, 0, {}};
        node.controls[platform::kV4l2CidContrast] = {0, 95, 1, 32, 32, {}};
        node.controls[platform::kV4l2CidBacklightCompensation] = {0, 2, 1, 1, 1, {}};
        node.controls[platform::kV4l2CidExposureAuto] = {0, 3, 1, 3, 3, {1, 3}};
        node.controls[platform::kV4l2CidExposureAbsolute] = {3, 2047, 1, 250, 250, {}};
        node.controls[platform::kV4l2CidFocusAbsolute] = {0, 250, 5, 0, 0, {}};
        node.controls[platform::kV4l2CidFocusAuto] = {0, 1, 1, 1, 1, {}};
        return node;
    }

    // What UVC cameras do when streaming starts.
    void ResetToDefaults() {
        for (auto& [id, control] : controls) control.value = control.def;
    }

    int Ioctl(unsigned long request, void* arg) override {
        switch (request) {
            case VIDIOC_ENUM_FMT: {
                auto* desc = static_cast<v4l2_fmtdesc*>(arg);
                if (desc->index >= pixel_formats.size()) return -EINVAL;
                desc->pixelformat = pixel_formats[desc->index];
                return 0;
            }
            case VIDIOC_ENUM_FRAMESIZES: {
                auto* size = static_cast<v4l2_frmsizeenum*>(arg);
                if (!HasYuyv() || size->pixel_format != V4L2_PIX_FMT_YUYV || size->index >= sizes.size())
                    return -EINVAL;
                size->type = V4L2_FRMSIZE_TYPE_DISCRETE;
                size->discrete = {sizes[size->index].width, sizes[size->index].height};
                return 0;
            }
            case VIDIOC_ENUM_FRAMEINTERVALS: {
                auto* ival = static_cast<v4l2_frmivalenum*>(arg);
                const Size* size = Find(ival->width, ival->height);
                if (size == nullptr || ival->index >= size->intervals.size()) return -EINVAL;
                ival->type = V4L2_FRMIVAL_TYPE_DISCRETE;
                ival->discrete = {size->intervals[ival->index].first, size->intervals[ival->index].second};
                return 0;
            }
            case VIDIOC_QUERYCAP: {
                auto* cap = static_cast<v4l2_capability*>(arg);
                cap->capabilities = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING | V4L2_CAP_DEVICE_CAPS;
                cap->device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
                return 0;
            }
            case VIDIOC_G_FMT: {
                auto* fmt = static_cast<v4l2_format*>(arg);
                fmt->fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
                fmt->fmt.pix.width = current_size.first;
                fmt->fmt.pix.height = current_size.second;
                return 0;
            }
            case VIDIOC_TRY_FMT: {
                auto* fmt = static_cast<v4l2_format*>(arg);
                const Size* nearest = &sizes.front();
                for (const Size& size : sizes) {
                    if (Distance(size, fmt->fmt.pix) < Distance(*nearest, fmt->fmt.pix)) nearest = &size;
                }
                fmt->fmt.pix.width = nearest->width;
                fmt->fmt.pix.height = nearest->height;
                return 0;
            }
            case VIDIOC_QUERYCTRL: {
                auto* query = static_cast<v4l2_queryctrl*>(arg);
                auto found = controls.find(query->id);
                if (found == controls.end()) return -EINVAL;
                const Control& c = found->second;
                query->type = c.menu.empty() ? V4L2_CTRL_TYPE_INTEGER : V4L2_CTRL_TYPE_MENU;
                query->minimum = c.min;
                query->maximum = c.max;
                query->step = c.step;
                query->default_value = c.def;
                return 0;
            }
            case VIDIOC_QUERY_EXT_CTRL: {
                auto* query = static_cast<v4l2_query_ext_ctrl*>(arg);
                auto found = controls.find(query->id);
                if (found == controls.end()) return -EINVAL;
                const Control& c = found->second;
                query->type = c.menu.empty() ? V4L2_CTRL_TYPE_INTEGER : V4L2_CTRL_TYPE_MENU;
                query->minimum = c.min;
                query->maximum = c.max;
                query->step = static_cast<uint64_t>(c.step);
                query->default_value = c.def;
                return 0;
            }
            case VIDIOC_G_EXT_CTRLS: {
                auto* list = static_cast<v4l2_ext_controls*>(arg);
                auto found = controls.find(list->controls[0].id);
                if (list->count != 1 || found == controls.end()) return -EINVAL;
                list->controls[0].value = found->second.value;
                return 0;
            }
            case VIDIOC_S_EXT_CTRLS: {
                auto* list = static_cast<v4l2_ext_controls*>(arg);
                if (list->count != 1) return -EINVAL;
                return Write(list->controls[0].id, list->controls[0].value);
            }
            default:
                return -ENOTTY;
        }
    }

  private:
    bool HasYuyv() const {
        for (uint32_t f : pixel_formats)
            if (f == V4L2_PIX_FMT_YUYV) return true;
        return false;
    }
    const Size* Find(uint32_t width, uint32_t height) const {
        for (const Size& size : sizes)
            if (size.width == width && size.height == height) return &size;
        return nullptr;
    }
    static long Distance(const Size& size, const v4l2_pix_format& pix) {
        return labs(long(size.width) - long(pix.width)) + labs(long(size.height) - long(pix.height));
    }
    bool AutoOn(uint32_t id, int32_t manual) const {
        auto found = controls.find(id);
        return found != controls.end() && found->second.value != manual;
    }
    int Write(uint32_t id, int32_t value) {
        auto found = controls.find(id);
        if (found == controls.end()) return -EINVAL;
        Control& c = found->second;
        if (!c.menu.empty() && c.menu.count(value) == 0) return -EINVAL;
        if (value < c.min || value > c.max) return -ERANGE;
        // The camera stalls a write to a value its automatic mode owns.
        if (id == platform::kV4l2CidExposureAbsolute &&
            AutoOn(platform::kV4l2CidExposureAuto, platform::kV4l2ExposureManual))
            return -EIO;
        if (id == platform::kV4l2CidFocusAbsolute && AutoOn(platform::kV4l2CidFocusAuto, 0)) return -EIO;
        c.value = value;
        writes.emplace_back(id, value);
        return 0;
    }
};
