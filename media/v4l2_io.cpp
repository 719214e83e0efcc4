#include "media/v4l2_io.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

namespace platform {
namespace {

class V4l2Node : public V4l2Io {
  public:
    V4l2Node(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~V4l2Node() override { Close(); }
    V4l2Node(const V4l2Node&) = delete;
    V4l2Node& operator=(const V4l2Node&) = delete;

    int Ioctl(unsigned long request, void* arg) override {
        if (fd_ < 0) return -ENODEV;
        int result;
        do {
            result = ::ioctl(fd_, request, arg);
        } while (result < 0 && errno == EINTR);
        return result < 0 ? -errno : 0;
    }
    void Close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    bool Reopen() override {
        if (fd_ < 0) fd_ = Open(path_);
        return fd_ >= 0;
    }

    // Non-blocking, so that a control fd never waits on a frame; streaming belongs to the pipeline's own fd.
    static int Open(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); }

  private:
    int fd_;
    std::string path_;
};

}  // namespace

std::unique_ptr<V4l2Io> OpenV4l2Node(const std::string& path) {
    int fd = V4l2Node::Open(path);
    if (fd < 0) return nullptr;
    return std::make_unique<V4l2Node>(fd, path);
}

bool IsVideoCaptureNode(V4l2Io& io) {
    v4l2_capability cap{};
    if (io.Ioctl(VIDIOC_QUERYCAP, &cap) != 0) return false;
    uint32_t caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) != 0 ? cap.device_caps : cap.capabilities;
    return (caps & V4L2_CAP_VIDEO_CAPTURE) != 0;
}

}  // namespace platform
