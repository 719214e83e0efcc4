#pragma once
// A UVC extension-unit node handed from the device layer to the extension-control library
// (emxunit.dll). Plain C layout: it crosses a shared-library boundary.
//
// With query == nullptr the library talks to the real camera through uvcvideo (UVCIOC_CTRL_QUERY on
// device_node for unit unit_id); otherwise it calls query, which answers like that ioctl (a UVC request
// code of linux/usb/video.h, e.g. 0x01 SET_CUR, 0x81 GET_CUR, 0x85 GET_LEN, 0x86 GET_INFO) and returns 0
// on success, an errno value on failure.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*UvcXuQueryFn)(void* context, uint8_t unit, uint8_t selector, uint8_t query, uint16_t size,
                            uint8_t* data);

struct UvcXuNode {
    char device_node[256];
    uint8_t unit_id;
    UvcXuQueryFn query;
    void* context;
};

#ifdef __cplusplus
}
#endif
