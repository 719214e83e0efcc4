#include "media/udev_monitor.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "media/device_changes.h"
#include "media/sysfs.h"
#include "media/video_nodes.h"
#include "platform/debuglog/debuglog.h"

namespace platform {
namespace {

struct UdevUnref {
    void operator()(udev* handle) const { udev_unref(handle); }
};
struct UdevMonitorUnref {
    void operator()(udev_monitor* monitor) const { udev_monitor_unref(monitor); }
};
struct UdevDeviceUnref {
    void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevPtr = std::unique_ptr<udev, UdevUnref>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevMonitorUnref>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevDeviceUnref>;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

class UdevVideoMonitorImpl : public UdevVideoMonitor {
  public:
    UdevVideoMonitorImpl(UdevPtr udev, UdevMonitorPtr monitor)
        : udev_(std::move(udev)), monitor_(std::move(monitor)), stop_(::eventfd(0, EFD_CLOEXEC)) {
        Rescan();
        thread_ = std::thread([this] { Loop(); });
    }
    ~UdevVideoMonitorImpl() override {
        uint64_t one = 1;
        if (::write(stop_.Get(), &one, sizeof one) < 0) DebugLog("media", "cannot stop the udev monitor");
        thread_.join();
    }

  private:
    // Identities of the nodes there are now, since a removed node's sysfs entry is gone.
    void Rescan() {
        for (const VideoNode& node : ListVideoNodes(SysfsRoot())) paths_[node.name] = node.device_path;
    }

    void Loop() {
        pollfd fds[2] = {{udev_monitor_get_fd(monitor_.get()), POLLIN, 0}, {stop_.Get(), POLLIN, 0}};
        while (true) {
            if (::poll(fds, 2, -1) < 0) continue;
            if (fds[1].revents != 0) return;
            if (fds[0].revents == 0) continue;
            UdevDevicePtr device(udev_monitor_receive_device(monitor_.get()));
            if (!device) continue;
            const char* action = udev_device_get_action(device.get());
            const char* devnode = udev_device_get_devnode(device.get());
            if (action == nullptr || devnode == nullptr) continue;
            std::string name = BaseName(devnode);
            bool added = std::strcmp(action, "add") == 0;
            if (!added && std::strcmp(action, "remove") != 0) continue;
            if (added) Rescan();
            auto known = paths_.find(name);
            DeviceChange change{known != paths_.end() ? known->second : std::string(), devnode, added};
            if (!added && known != paths_.end()) paths_.erase(known);
            DebugLog("media", "udev %s %s", action, devnode);
            NotifyDeviceChange(change);
        }
    }

    UdevPtr udev_;
    UdevMonitorPtr monitor_;
    FileDescriptor stop_;
    std::map<std::string, std::string> paths_;  // monitor thread only, after construction
    std::thread thread_;
};

}  // namespace

std::unique_ptr<UdevVideoMonitor> UdevVideoMonitor::Start() {
    UdevPtr handle(udev_new());
    if (!handle) return nullptr;
    // Without a udev daemon (a minimal system, a container) nothing is re-sent on the "udev" source; the
    // kernel's own announcements come with devtmpfs having made the node already.
    const char* source = ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
    DebugLog("media", "watching video nodes through %s events", source);
    UdevMonitorPtr monitor(udev_monitor_new_from_netlink(handle.get(), source));
    if (!monitor ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "video4linux", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        DebugLog("media", "cannot watch video nodes through udev");
        return nullptr;
    }
    return std::make_unique<UdevVideoMonitorImpl>(std::move(handle), std::move(monitor));
}

}  // namespace platform
