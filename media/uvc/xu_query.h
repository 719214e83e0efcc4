#pragma once
// One extension-unit control request on an opened uvcvideo node (UVCIOC_CTRL_QUERY).

#include <cstdint>

namespace platform {

// 0 on success, else the errno of the ioctl.
int UvcXuQuery(int fd, uint8_t unit, uint8_t selector, uint8_t query, uint16_t size, uint8_t* data);

}  // namespace platform
