#include "media/device_changes.h"

#include <map>
#include <mutex>

namespace platform {
namespace {

struct Listeners {
    std::mutex mutex;
    std::map<uint64_t, DeviceChangeListener> by_id;
    uint64_t next_id = 1;
};

Listeners& TheListeners() {
    static Listeners listeners;
    return listeners;
}

}  // namespace

uint64_t AddDeviceChangeListener(DeviceChangeListener listener) {
    Listeners& listeners = TheListeners();
    std::lock_guard<std::mutex> lock(listeners.mutex);
    uint64_t id = listeners.next_id++;
    listeners.by_id.emplace(id, std::move(listener));
    return id;
}

void RemoveDeviceChangeListener(uint64_t id) {
    Listeners& listeners = TheListeners();
    std::lock_guard<std::mutex> lock(listeners.mutex);
    listeners.by_id.erase(id);
}

void NotifyDeviceChange(const DeviceChange& change) {
    Listeners& listeners = TheListeners();
    std::lock_guard<std::mutex> lock(listeners.mutex);
    for (auto& [id, listener] : listeners.by_id) listener(change);
}

bool ChangeConcerns(const DeviceChange& change, const std::string& device_path, const std::string& node) {
    if (!change.device_path.empty() && !device_path.empty()) return change.device_path == device_path;
    return !change.node.empty() && change.node == node;
}

}  // namespace platform
