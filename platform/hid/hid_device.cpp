#include "platform/hid/hid_device.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace platform {
namespace {

std::string EnvOr(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// "hidraw12" -> 12; -1 for other names.
long HidrawNumber(const std::string& name) {
    if (name.rfind("hidraw", 0) != 0 || name.size() == 6) return -1;
    char* end = nullptr;
    long n = std::strtol(name.c_str() + 6, &end, 10);
    return (*end == '\0' && n >= 0) ? n : -1;
}

std::string BaseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

HidBackend* g_backend = nullptr;

}  // namespace

bool ParseHidId(const std::string& text, uint16_t* vendor_id, uint16_t* product_id) {
    unsigned bus = 0, vendor = 0, product = 0;
    if (std::sscanf(text.c_str(), "%x:%x:%x", &bus, &vendor, &product) != 3) return false;
    *vendor_id = static_cast<uint16_t>(vendor);
    *product_id = static_cast<uint16_t>(product);
    return true;
}

HidrawBackend::HidrawBackend(std::string sysfs_root, std::string dev_root)
    : sysfs_root_(std::move(sysfs_root)), dev_root_(std::move(dev_root)) {}

HidrawBackend::HidrawBackend() = default;

std::string HidrawBackend::SysfsRoot() const {
    return sysfs_root_.empty() ? EnvOr("VELLUMO_SYSFS_ROOT", "/sys") : sysfs_root_;
}

std::string HidrawBackend::DevRoot() const {
    return dev_root_.empty() ? EnvOr("VELLUMO_DEV_ROOT", "/dev") : dev_root_;
}

std::vector<std::string> HidrawBackend::EnumerateInterfaces() {
    std::vector<std::pair<long, std::string>> found;
    std::string folder = JoinPath(SysfsRoot(), "class/hidraw");
    for (std::string& name : FolderEntries(folder).value_or(std::vector<std::string>())) {
        long n = HidrawNumber(name);
        if (n >= 0) found.emplace_back(n, std::move(name));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (const auto& [n, name] : found) paths.push_back(JoinPath(DevRoot(), name));
    return paths;
}

std::optional<HidInterfaceInfo> HidrawBackend::Examine(const std::string& path) {
    std::string device = JoinPath(JoinPath(SysfsRoot(), "class/hidraw"), BaseName(path)) + "/device";
    std::optional<std::string> descriptor = ReadFile(device + "/report_descriptor");
    if (!descriptor || descriptor->empty()) {
        DebugLog("hid", "cannot read the report descriptor of %s", path.c_str());
        return std::nullopt;
    }
    HidInterfaceInfo info;
    info.report_descriptor.assign(descriptor->begin(), descriptor->end());
    if (std::optional<std::string> uevent = ReadFile(device + "/uevent")) {
        std::istringstream lines(*uevent);
        std::string line;
        while (std::getline(lines, line)) {
            if (line.rfind("HID_ID=", 0) == 0) ParseHidId(line.substr(7), &info.vendor_id, &info.product_id);
        }
    }
    return info;
}

int HidrawBackend::Open(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        DebugLog("hid", "cannot open %s (errno %d)", path.c_str(), error);
        errno = error;
    }
    return fd;
}

bool HidrawBackend::SetFeature(int handle, const uint8_t* report, size_t length) {
    if (handle < 0 || length == 0 || length > kHidTransferSize) return false;
    uint8_t buffer[kHidTransferSize] = {};
    std::memcpy(buffer, report, length);
    int n = ::ioctl(handle, HIDIOCSFEATURE(length), buffer);
    if (n < 0) DebugLog("hid", "HIDIOCSFEATURE report 0x%02X failed (errno %d)", report[0], errno);
    return n >= 0;
}

bool HidrawBackend::GetFeature(int handle, uint8_t* report, size_t length) {
    if (handle < 0 || length == 0 || length > kHidTransferSize) return false;
    uint8_t buffer[kHidTransferSize] = {};
    buffer[0] = report[0];
    int n = ::ioctl(handle, HIDIOCGFEATURE(length), buffer);
    if (n < 0) {
        DebugLog("hid", "HIDIOCGFEATURE report 0x%02X failed (errno %d)", report[0], errno);
        return false;
    }
    // The kernel returns the report ID in byte 0 followed by the data; a short report leaves the rest 0.
    std::memcpy(report + 1, buffer + 1, length - 1);
    return true;
}

void HidrawBackend::Close(int handle) {
    if (handle >= 0) ::close(handle);
}

HidBackend& CurrentHidBackend() {
    if (g_backend != nullptr) return *g_backend;
    static HidrawBackend system_backend;
    return system_backend;
}

void SetHidBackend(HidBackend* backend) { g_backend = backend; }

}  // namespace platform
