#include "media/uvc/xu_query.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "platform/debuglog/debuglog.h"

namespace platform {

int UvcXuQuery(int fd, uint8_t unit, uint8_t selector, uint8_t query, uint16_t size, uint8_t* data) {
    uvc_xu_control_query request{};
    request.unit = unit;
    request.selector = selector;
    request.query = query;
    request.size = size;
    request.data = data;
    if (::ioctl(fd, UVCIOC_CTRL_QUERY, &request) == 0) return 0;
    int error = errno;
    DebugLog("uvc", "UVCIOC_CTRL_QUERY unit %u selector %u query 0x%02X size %u failed (errno %d)", unit,
             selector, query, size, error);
    return error != 0 ? error : EIO;
}

}  // namespace platform
