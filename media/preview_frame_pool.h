#pragma once
// Preview frames that come back: a frame handed out is shared as usual, and once its last holder lets go
// it returns here to be filled again, so a running preview does not allocate a full frame per frame.
// Frames of another size than the one asked for are dropped. Any thread; frames may outlive the pool.

#include <memory>
#include <mutex>
#include <vector>

#include "media/capture_graph.h"

namespace platform {

class PreviewFramePool {
  public:
    // Keeps at most `spare` frames that nobody holds.
    explicit PreviewFramePool(size_t spare = 1);
    ~PreviewFramePool();
    PreviewFramePool(const PreviewFramePool&) = delete;
    PreviewFramePool& operator=(const PreviewFramePool&) = delete;

    // A frame with `stride` x `height` pixel bytes whose contents are whatever it last held; the caller fills
    // it before sharing it.
    std::shared_ptr<PreviewFrame> Acquire(int width, int height, int stride);

  private:
    struct Spares {
        std::mutex mutex;
        std::vector<std::unique_ptr<PreviewFrame>> frames;
        size_t bytes = 0;  // the size of frame asked for last
        size_t keep = 0;   // 0 once the pool has gone
    };
    std::shared_ptr<Spares> spares_;
};

}  // namespace platform
