#include "app/application/program_media.h"

#include "platform/debuglog/debuglog.h"

#if VELLUMO_HAVE_GST_MEDIA
#include "platform/media/gst_capture_graph.h"
#endif

std::unique_ptr<platform::MediaFactory> CreateProgramMediaFactory() {
#if VELLUMO_HAVE_GST_MEDIA
    return std::make_unique<platform::GstMediaFactory>();
#else
    platform::DebugLog("app", "built without a media platform: no camera can be used");
    return nullptr;
#endif
}
