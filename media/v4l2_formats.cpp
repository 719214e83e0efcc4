#include "media/v4l2_formats.h"

#include <linux/videodev2.h>

namespace platform {
namespace {

struct Interval {
    uint32_t numerator = 0;
    uint32_t denominator = 0;
};

// The shortest interval the size offers; 0/0 when the driver lists none.
Interval ShortestInterval(V4l2Io& io, uint32_t width, uint32_t height) {
    Interval best;
    for (uint32_t index = 0;; ++index) {
        v4l2_frmivalenum ival{};
        ival.index = index;
        ival.pixel_format = V4L2_PIX_FMT_YUYV;
        ival.width = width;
        ival.height = height;
        if (io.Ioctl(VIDIOC_ENUM_FRAMEINTERVALS, &ival) != 0) break;
        v4l2_fract f = ival.type == V4L2_FRMIVAL_TYPE_DISCRETE ? ival.discrete : ival.stepwise.min;
        if (f.denominator == 0) break;
        // a/b < c/d  <=>  a*d < c*b
        if (best.denominator == 0 ||
            uint64_t{f.numerator} * best.denominator < uint64_t{best.numerator} * f.denominator) {
            best = {f.numerator, f.denominator};
        }
        if (ival.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
    }
    return best;
}

VideoFormat Yuy2(V4l2Io& io, uint32_t width, uint32_t height) {
    VideoFormat format;
    format.width = static_cast<int>(width);
    format.height = static_cast<int>(height);
    Interval interval = ShortestInterval(io, width, height);
    format.interval_numerator = static_cast<int>(interval.numerator);
    format.interval_denominator = static_cast<int>(interval.denominator);
    return format;
}

bool OffersYuy2(V4l2Io& io) {
    for (uint32_t index = 0;; ++index) {
        v4l2_fmtdesc desc{};
        desc.index = index;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (io.Ioctl(VIDIOC_ENUM_FMT, &desc) != 0) return false;
        if (desc.pixelformat == V4L2_PIX_FMT_YUYV) return true;
    }
}

}  // namespace

std::vector<VideoFormat> ListYuy2Formats(V4l2Io& io) {
    std::vector<VideoFormat> formats;
    if (!OffersYuy2(io)) return formats;
    for (uint32_t index = 0;; ++index) {
        v4l2_frmsizeenum size{};
        size.index = index;
        size.pixel_format = V4L2_PIX_FMT_YUYV;
        if (io.Ioctl(VIDIOC_ENUM_FRAMESIZES, &size) != 0) break;
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            formats.push_back(Yuy2(io, size.discrete.width, size.discrete.height));
            continue;
        }
        formats.push_back(Yuy2(io, size.stepwise.min_width, size.stepwise.min_height));
        if (size.stepwise.max_width != size.stepwise.min_width ||
            size.stepwise.max_height != size.stepwise.min_height) {
            formats.push_back(Yuy2(io, size.stepwise.max_width, size.stepwise.max_height));
        }
        break;
    }
    return formats;
}

bool DriverAcceptsFormat(V4l2Io& io, const VideoFormat& format) {
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = static_cast<uint32_t>(format.width);
    fmt.fmt.pix.height = static_cast<uint32_t>(format.height);
    fmt.fmt.pix.pixelformat = V4L2_PIX_FMT_YUYV;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (io.Ioctl(VIDIOC_TRY_FMT, &fmt) != 0) return false;
    return fmt.fmt.pix.pixelformat == V4L2_PIX_FMT_YUYV &&
           fmt.fmt.pix.width == static_cast<uint32_t>(format.width) &&
           fmt.fmt.pix.height == static_cast<uint32_t>(format.height);
}

std::optional<VideoFormat> MatchingFormat(const std::vector<VideoFormat>& formats,
                                          const VideoFormat& format) {
    for (const VideoFormat& candidate : formats) {
        if (candidate.fourcc == format.fourcc && candidate.width == format.width &&
            candidate.height == format.height) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace platform
