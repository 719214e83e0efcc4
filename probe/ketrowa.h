/* Ketrowa.dll: answers whether the document camera is attached right now.
 *
 * Ketrowa()
 *   Looks through the system's video-input devices (V4L2 video nodes under sysfs, and the built-in
 *   virtual camera when VELLUMO_VIRTUALCAM=1) for one whose device path contains the camera's USB
 *   identity "vid_eb1a&pid_2d80", letters compared without regard to case.
 *   Returns 1 when at least one device matches, 0 when none does or the devices cannot be listed.
 *   The sysfs root is VELLUMO_SYSFS_ROOT when set, else "/sys", looked up at each call.
 *   Keeps nothing between calls; safe to call from several threads at once.
 *
 * Load it with dlopen("Ketrowa.dll", ...) and look the one export up by its plain name. */
#ifndef VELLUMO_PROBE_KETROWA_H
#define VELLUMO_PROBE_KETROWA_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t Ketrowa(void);

typedef int32_t (*KetrowaFn)(void);

#ifdef __cplusplus
}
#endif

#endif
