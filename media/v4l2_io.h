#pragma once
// The one way this program talks to a V4L2 node: every ioctl goes through V4l2Io, so that stream formats
// and controls can be exercised against a fake that answers as the kernel's UVC driver does.

#include <memory>
#include <string>

namespace platform {

class V4l2Io {
  public:
    virtual ~V4l2Io() = default;
    // 0 on success, else -errno.
    virtual int Ioctl(unsigned long request, void* arg) = 0;
    // Lets go of the node early (its device has gone); every later ioctl answers -ENODEV.
    virtual void Close() {}
    // Opens the node again after Close, for its device plugged back; true when the node is open. An io that
    // never closes is always open.
    virtual bool Reopen() { return true; }
};

// An open V4L2 node; closes it when destroyed. nullptr when it cannot be opened.
std::unique_ptr<V4l2Io> OpenV4l2Node(const std::string& path);

// The node is a video capture device (VIDIOC_QUERYCAP names single-planar capture for this node).
bool IsVideoCaptureNode(V4l2Io& io);

}  // namespace platform
