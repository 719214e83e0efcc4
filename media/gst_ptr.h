#pragma once
// Owners for GStreamer objects: each holds one reference (or one mapping) and gives it back when it goes.

#include <gst/gst.h>
#include <gst/video/video.h>

#include <memory>

namespace platform {

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
// A pool is made inactive before its last reference goes, so that the buffers it keeps are freed now; the
// ones still out are freed as they come back.
struct GstBufferPoolRelease {
    void operator()(GstBufferPool* pool) const {
        gst_buffer_pool_set_active(pool, FALSE);
        gst_object_unref(pool);
    }
};
struct GstCapsUnref {
    void operator()(GstCaps* caps) const { gst_caps_unref(caps); }
};
struct GstSampleUnref {
    void operator()(GstSample* sample) const { gst_sample_unref(sample); }
};
struct GstMessageUnref {
    void operator()(GstMessage* message) const { gst_message_unref(message); }
};
struct GErrorFree {
    void operator()(GError* error) const { g_error_free(error); }
};
struct GFreeDeleter {
    void operator()(gpointer memory) const { g_free(memory); }
};
struct GListDevicesFree {
    void operator()(GList* list) const { g_list_free_full(list, gst_object_unref); }
};

using GstElementPtr = std::unique_ptr<GstElement, GstObjectUnref>;
using GstClockPtr = std::unique_ptr<GstClock, GstObjectUnref>;
using GstBusPtr = std::unique_ptr<GstBus, GstObjectUnref>;
using GstPadPtr = std::unique_ptr<GstPad, GstObjectUnref>;
using GstDeviceMonitorPtr = std::unique_ptr<GstDeviceMonitor, GstObjectUnref>;
using GstDevicePtr = std::unique_ptr<GstDevice, GstObjectUnref>;
using GstCapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;
using GstBufferPoolPtr = std::unique_ptr<GstBufferPool, GstBufferPoolRelease>;
using GstSamplePtr = std::unique_ptr<GstSample, GstSampleUnref>;
using GErrorPtr = std::unique_ptr<GError, GErrorFree>;
using GCharPtr = std::unique_ptr<gchar, GFreeDeleter>;
using GstDeviceListPtr = std::unique_ptr<GList, GListDevicesFree>;

// An element we keep a reference of our own to, whether or not a bin holds it too (sinks the floating
// reference). nullptr when the factory is missing.
inline GstElementPtr MakeElement(const char* factory, const char* name = nullptr) {
    GstElement* element = gst_element_factory_make(factory, name);
    return GstElementPtr(element != nullptr ? GST_ELEMENT(gst_object_ref_sink(element)) : nullptr);
}

// A buffer mapped for reading while the owner lives.
class GstBufferReadMap {
  public:
    explicit GstBufferReadMap(GstBuffer* buffer) : buffer_(buffer) {
        mapped_ = buffer_ != nullptr && gst_buffer_map(buffer_, &info_, GST_MAP_READ);
    }
    ~GstBufferReadMap() {
        if (mapped_) gst_buffer_unmap(buffer_, &info_);
    }
    GstBufferReadMap(const GstBufferReadMap&) = delete;
    GstBufferReadMap& operator=(const GstBufferReadMap&) = delete;
    bool Mapped() const { return mapped_; }
    const uint8_t* Data() const { return info_.data; }
    size_t Size() const { return info_.size; }

  private:
    GstBuffer* buffer_;
    GstMapInfo info_{};
    bool mapped_ = false;
};

// Initialises GStreamer once for the process; later calls return at once.
void EnsureGstInitialised();

}  // namespace platform
