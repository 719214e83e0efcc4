#include "media/preview_frame_pool.h"

namespace platform {

PreviewFramePool::PreviewFramePool(size_t spare) : spares_(std::make_shared<Spares>()) {
    spares_->keep = spare;
}

PreviewFramePool::~PreviewFramePool() {
    std::vector<std::unique_ptr<PreviewFrame>> frames;  // freed outside the lock
    std::lock_guard<std::mutex> lock(spares_->mutex);
    spares_->keep = 0;
    frames.swap(spares_->frames);
}

std::shared_ptr<PreviewFrame> PreviewFramePool::Acquire(int width, int height, int stride) {
    const size_t bytes = static_cast<size_t>(stride) * static_cast<size_t>(height);
    std::unique_ptr<PreviewFrame> frame;
    std::vector<std::unique_ptr<PreviewFrame>> stale;  // freed outside the lock
    {
        std::lock_guard<std::mutex> lock(spares_->mutex);
        if (spares_->bytes != bytes) {
            stale.swap(spares_->frames);
            spares_->bytes = bytes;
        }
        if (!spares_->frames.empty()) {
            frame = std::move(spares_->frames.back());
            spares_->frames.pop_back();
        }
    }
    if (!frame) {
        frame = std::make_unique<PreviewFrame>();
        frame->pixels.resize(bytes);
    }
    frame->width = width;
    frame->height = height;
    frame->stride = stride;
    // The last holder gives the frame back, on whatever thread it lets go.
    return std::shared_ptr<PreviewFrame>(frame.release(), [spares = spares_](PreviewFrame* returned) {
        std::unique_ptr<PreviewFrame> owned(returned);
        std::lock_guard<std::mutex> lock(spares->mutex);
        if (spares->frames.size() < spares->keep && owned->pixels.size() == spares->bytes)
            spares->frames.push_back(std::move(owned));
    });
}

}  // namespace platform
