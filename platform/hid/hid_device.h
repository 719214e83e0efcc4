#pragma once
// HID interfaces of the system: enumeration, the report descriptor of each interface (no device open
// needed), and feature-report transfers on an opened interface.
//
// The real implementation reads /sys/class/hidraw and opens /dev/hidrawN; the sysfs and /dev roots
// come from VELLUMO_SYSFS_ROOT and VELLUMO_DEV_ROOT (default "/sys" and "/dev") so that tests can point
// it at a fake tree. A test double (the virtual camera) replaces the whole backend through
// SetHidBackend. Not thread-safe: callers serialise (the device-control mutex).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A feature transfer: byte 0 is the report ID, the payload follows (at most 64 bytes).
inline constexpr size_t kHidTransferSize = 65;

struct HidInterfaceInfo {
    std::vector<uint8_t> report_descriptor;
    uint16_t vendor_id = 0;  // the USB identity (HID_ID of the uevent file), 0 when unreadable
    uint16_t product_id = 0;
    uint16_t version = 0;
};

class HidBackend {
  public:
    virtual ~HidBackend() = default;
    // The interface paths present, in a stable order.
    virtual std::vector<std::string> EnumerateInterfaces() = 0;
    // The descriptor and ids of one interface; nothing when it cannot be examined.
    virtual std::optional<HidInterfaceInfo> Examine(const std::string& path) = 0;
    // Opens the interface for reading and writing; a handle >= 0, or -1 with errno set (EACCES or EPERM:
    // the interface is there but this user may not open it).
    virtual int Open(const std::string& path) = 0;
    // report[0] is the report ID; length counts it. Get fills report[1..length-1].
    virtual bool SetFeature(int handle, const uint8_t* report, size_t length) = 0;
    virtual bool GetFeature(int handle, uint8_t* report, size_t length) = 0;
    virtual void Close(int handle) = 0;
};

// hidraw through sysfs and /dev.
class HidrawBackend : public HidBackend {
  public:
    HidrawBackend(std::string sysfs_root, std::string dev_root);
    // Roots from the environment (see above), looked up at each call.
    HidrawBackend();

    std::vector<std::string> EnumerateInterfaces() override;
    std::optional<HidInterfaceInfo> Examine(const std::string& path) override;
    int Open(const std::string& path) override;
    bool SetFeature(int handle, const uint8_t* report, size_t length) override;
    bool GetFeature(int handle, uint8_t* report, size_t length) override;
    void Close(int handle) override;

  private:
    std::string SysfsRoot() const;
    std::string DevRoot() const;
    std::string sysfs_root_;
    std::string dev_root_;
};

// The backend in use: the one set last, else a process-wide HidrawBackend. The caller keeps a set
// backend alive until it sets nullptr again.
HidBackend& CurrentHidBackend();
void SetHidBackend(HidBackend* backend);

// "0003:0000EB1A:00007C3D" (the HID_ID line of a uevent file) -> bus, vendor, product.
bool ParseHidId(const std::string& text, uint16_t* vendor_id, uint16_t* product_id);

}  // namespace platform
