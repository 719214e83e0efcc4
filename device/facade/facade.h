#pragma once
// The device-control link to the camera's bridge chip: what the rest of the program includes.
//
// One process-wide link, reached through the first transport that answers (HID feature reports, the
// UVC extension unit, the capture-bridge property set, the receiver-bridge property set). Every
// register access and bus transaction holds the system-wide mutex "Empia VideoClass HidClass Library"
// for that one operation, waiting at most 1000 ms. Results: 0 success, 0x80004005 any failure.
// Any thread: each call holds one process-wide lock (taken before the named mutex) for its whole run, so a
// call on a link another thread closes meanwhile fails with 0x80004005 and never touches freed state.

#include <cstdint>

namespace devctl {

using CamResult = uint32_t;
inline constexpr CamResult kCamOk = 0;
inline constexpr CamResult kCamFail = 0x80004005u;

// Opens the link (closing an open one first). Nonzero when a transport is open.
int CamOpen();
void CamClose();

// True once per run: the first time a CamOpen found no transport while the bridge's HID interface was
// there but this user may not open it (the udev rule is not installed). The caller tells the user how to
// install it.
bool CamTakePermissionNotice();

// bus 1 = primary (register 6 bit 2 cleared), anything else = secondary (bit 2 set). A nonzero
// stopAfterSubAddress makes later bus transactions stop after their sub-address.
void CamSelectBus(uint8_t bus, uint32_t stopAfterSubAddress);

// value is written only on success.
CamResult CamReadRegister(uint8_t reg, uint8_t width, uint32_t* value);
CamResult CamWriteRegister(uint8_t reg, uint8_t width, const uint32_t* value);

// Device 0xA0 first selects the primary bus and swaps the first two sub-address bytes in the caller's
// buffer (a 16-bit sub-address in memory order goes out high byte first). out is written only on success.
CamResult CamBusRead(uint8_t deviceAddress, uint32_t subAddressCount, uint8_t* subAddress, uint32_t readCount,
                     uint8_t* out);
CamResult CamBusWrite(uint8_t deviceAddress, uint32_t subAddressCount, uint8_t* subAddress,
                      uint32_t dataCount, const uint8_t* data);

}  // namespace devctl
