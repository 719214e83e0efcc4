// The library's one export and its load and unload entry.

#include "probe/ketrowa.h"

#include <new>
#include <string>
#include <vector>

#include "media/sysfs.h"
#include "media/video_nodes.h"
#include "probe/camera_match.h"
#include "virtualcam/identity.h"

namespace {

// The device paths of every video input, listed as the program lists them.
std::vector<std::string> VideoInputPaths() {
    std::vector<std::string> paths;
    for (platform::VideoNode& node : platform::ListVideoNodes(platform::SysfsRoot()))
        paths.push_back(std::move(node.device_path));
    // The virtual camera lives inside the Vellumo process; the environment stands for it being plugged in.
    if (virtualcam::RequestedByEnvironment()) paths.push_back(virtualcam::CameraDevicePath());
    return paths;
}

// Load and unload: nothing to set up or release, since every call lists the devices afresh and keeps
// nothing. They must never fail, however often the library is loaded and unloaded.
__attribute__((constructor)) void OnLibraryLoad() {}
__attribute__((destructor)) void OnLibraryUnload() {}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t Ketrowa(void) {
    try {
        return probe::AnyPathNamesCamera(VideoInputPaths(), probe::kCameraIdentity) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;  // no exception may cross into a C caller; not knowing means "not attached"
    }
}
