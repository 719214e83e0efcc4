#pragma once
// Follows V4L2 nodes through udev on a thread of its own and reports them as device changes: a node
// removed with the identity it had, a node added with the identity sysfs gives it.

#include <memory>

namespace platform {

class UdevVideoMonitor {
  public:
    // nullptr when udev cannot be watched (with a debug line).
    static std::unique_ptr<UdevVideoMonitor> Start();
    virtual ~UdevVideoMonitor() = default;
};

}  // namespace platform
