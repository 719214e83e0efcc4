#include "device/facade/facade.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "device/facade/extension_unit.h"
#include "device/facade/facade_config.h"
#include "device/facade/video_devices.h"
#include "device/hid/hid_discovery.h"
#include "device/protocol/register_protocol.h"
#include "platform/debuglog/debuglog.h"
#include "platform/sync/named_mutex.h"

namespace devctl {
namespace {

constexpr const char kControlMutexName[] = "Empia VideoClass HidClass Library";
constexpr int kControlMutexWaitMs = 1000;
constexpr uint8_t kPrimaryBus = 1;
constexpr uint8_t kEepromDevice = 0xA0;

// The one control link of the process.
struct ControlLink {
    uint32_t open = 0;
    Transport transport;
    ExtensionLink extension;                          // kind 1: object, library and kept filter
    std::unique_ptr<platform::MediaDevice> ksFilter;  // kinds 3 and 4: the filter behind the KS control
    std::unique_ptr<platform::NamedMutex> mutex;
    uint8_t optionFlag = 0;
};

ControlLink& Link() {
    static ControlLink link;
    return link;
}

// Every entry point holds this lock for its whole call, before the named mutex of the single operation:
// the series dialogs' threads poll the chip while the GUI thread may close or reopen the link on a
// device event. Recursive because the bus and bus-selection calls read and write registers themselves.
std::recursive_mutex& LinkLock() {
    static std::recursive_mutex lock;
    return lock;
}

FacadeConfig& Config() {
    static FacadeConfig config;
    return config;
}

bool HasHandle(const ControlLink& link) {
    const Transport& t = link.transport;
    return t.extension != nullptr || t.hidHandle >= 0 || t.ks != nullptr;
}

void CreateControlMutex(ControlLink& link) {
    link.mutex = std::make_unique<platform::NamedMutex>(kControlMutexName);
}

void CloseTransport(ControlLink& link) {
    switch (link.transport.kind) {
        case TransportKind::uvcExtension:
            link.extension.Close();
            break;
        case TransportKind::hid:
            HidCloseBridge(link.transport.hidHandle);
            break;
        default:
            break;
    }
    link.ksFilter.reset();
    link.mutex.reset();
    link.transport = Transport{};
}

// The HID interface of the last open was refused; the notice about it is given once per run.
bool g_hidRefused = false;
bool g_permissionNoticeGiven = false;
bool g_permissionNoticePending = false;

bool OpenHid(ControlLink& link) {
    int handle = HidOpenBridge(&g_hidRefused);
    if (handle == kNoHidHandle) return false;
    link.transport.kind = TransportKind::hid;
    link.transport.hidHandle = handle;
    CreateControlMutex(link);
    return true;
}

bool OpenExtensionUnit(ControlLink& link) {
    if (!ExtensionComponentPresent()) InstallExtensionComponent();
    VideoDeviceList devices;
    ListCategoryDevices(platform::DeviceCategory::VideoInput, devices);
    for (size_t i = 0; i < devices.count; ++i) {
        if (!link.extension.Probe(BindListedDevice(platform::DeviceCategory::VideoInput, devices, i)))
            continue;
        link.transport.kind = TransportKind::uvcExtension;
        link.transport.extension = link.extension.Object();
        CreateControlMutex(link);
        return true;
    }
    link.extension.Close();
    return false;
}

// Kinds 3 and 4: the first device of the category whose KS control answers a read of register 0x0A.
bool OpenKs(ControlLink& link, platform::DeviceCategory category, TransportKind kind) {
    VideoDeviceList devices;
    ListCategoryDevices(category, devices);
    link.transport.kind = kind;
    for (size_t i = 0; i < devices.count; ++i) {
        std::unique_ptr<platform::MediaDevice> filter = BindListedDevice(category, devices, i);
        if (!filter) continue;
        link.transport.ks = filter->QueryKsControl();
        if (link.transport.ks == nullptr) continue;
        RegisterRequest probe;
        probe.reg = kRegProbe;
        probe.width = 1;
        if (RegisterRead(link.transport, probe)) {
            link.ksFilter = std::move(filter);
            CreateControlMutex(link);
            return true;
        }
        link.transport.ks = nullptr;
    }
    link.transport = Transport{};
    return false;
}

// Holds the control mutex for one operation.
class ControlLock {
  public:
    explicit ControlLock(ControlLink& link)
        : guard_(link.mutex ? std::make_unique<platform::NamedMutexGuard>(*link.mutex, kControlMutexWaitMs)
                            : nullptr) {}
    bool Held() const { return guard_ && guard_->Held(); }

  private:
    std::unique_ptr<platform::NamedMutexGuard> guard_;
};

CamResult Result(bool ok) { return ok ? kCamOk : kCamFail; }

CamResult BusTransaction(uint8_t deviceAddress, uint32_t subAddressCount, uint8_t* subAddress, uint32_t count,
                         const uint8_t* data, uint8_t* out) {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.open == 0 || !HasHandle(link)) return kCamFail;
    // Refused before anything is sent, so an oversized request changes neither the chip nor the caller's
    // bytes.
    if (!BusFits(link.transport.kind, subAddressCount, count, out != nullptr)) return kCamFail;
    if ((subAddressCount > 0 && subAddress == nullptr) || (count > 0 && data == nullptr && out == nullptr))
        return kCamFail;

    BusRequest request;
    request.deviceAddress = deviceAddress;
    if (deviceAddress == kEepromDevice) {
        // The EEPROM sits on the primary bus and takes its 16-bit sub-address high byte first.
        uint32_t control = 0;
        if (CamReadRegister(kRegBusControl, 1, &control) == kCamOk) {
            uint32_t primary = control & ~static_cast<uint32_t>(kBusControlSecondary);
            CamWriteRegister(kRegBusControl, 1, &primary);
        }
        if (subAddressCount >= 2) std::swap(subAddress[0], subAddress[1]);
        request.flags = 0;
    } else {
        request.flags = link.optionFlag;
    }
    if (subAddressCount > 0) {
        request.flags |= kBusHasSubAddress;
        std::memcpy(request.writeBytes, subAddress, subAddressCount);
        request.writeCount = static_cast<uint8_t>(subAddressCount);
    }
    request.readCount = static_cast<uint8_t>(count);
    if (out == nullptr && count > 0) std::memcpy(request.readBytes, data, count);

    ControlLock lock(link);
    if (!lock.Held()) return kCamFail;
    bool ok = out != nullptr ? BusRead(link.transport, request) : BusWrite(link.transport, request);
    if (ok && out != nullptr && count > 0) std::memcpy(out, request.readBytes, count);
    return Result(ok);
}

}  // namespace

void SetFacadeConfig(const FacadeConfig& config) { Config() = config; }
const FacadeConfig& GetFacadeConfig() { return Config(); }

int CamOpen() {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.transport.kind != TransportKind::none) CloseTransport(link);
    link.open = 0;
    bool opened = OpenHid(link) || OpenExtensionUnit(link) ||
                  OpenKs(link, platform::DeviceCategory::VideoInput, TransportKind::ksCapture) ||
                  OpenKs(link, platform::DeviceCategory::ReceiverComponent, TransportKind::ksReceiver);
    link.open = opened ? 1 : 0;
    platform::DebugLog("devctl", "control link %s (transport %d)", opened ? "open" : "not found",
                       static_cast<int>(link.transport.kind));
    if (!opened && g_hidRefused) {
        platform::DebugLog("devctl",
                           "the bridge's HID interface is there but may not be opened: udev rule missing?");
        if (!g_permissionNoticeGiven) g_permissionNoticePending = true;
    }
    return opened ? 1 : 0;
}

bool CamTakePermissionNotice() {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    if (!g_permissionNoticePending) return false;
    g_permissionNoticePending = false;
    g_permissionNoticeGiven = true;
    return true;
}

void CamClose() {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.open == 0) return;
    CloseTransport(link);
    link.open = 0;
}

void CamSelectBus(uint8_t bus, uint32_t stopAfterSubAddress) {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.open == 0) return;
    uint32_t control = 0;
    // Writing after a failed read would clear the register's other bits.
    if (CamReadRegister(kRegBusControl, 1, &control) == kCamOk) {
        uint8_t low = static_cast<uint8_t>(control);
        low = bus == kPrimaryBus ? static_cast<uint8_t>(low & ~kBusControlSecondary)
                                 : static_cast<uint8_t>(low | kBusControlSecondary);
        uint32_t value = low;
        CamWriteRegister(kRegBusControl, 1, &value);
    }
    link.optionFlag = stopAfterSubAddress != 0 ? kBusStopAfterSubAddress : 0;
}

CamResult CamReadRegister(uint8_t reg, uint8_t width, uint32_t* value) {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.open == 0 || !HasHandle(link) || value == nullptr) return kCamFail;
    RegisterRequest request;
    request.reg = reg;
    request.width = width;
    ControlLock lock(link);
    if (!lock.Held()) return kCamFail;
    if (!RegisterRead(link.transport, request)) return kCamFail;
    *value = request.value;
    return kCamOk;
}

CamResult CamWriteRegister(uint8_t reg, uint8_t width, const uint32_t* value) {
    std::lock_guard<std::recursive_mutex> hold(LinkLock());
    ControlLink& link = Link();
    if (link.open == 0 || !HasHandle(link) || value == nullptr) return kCamFail;
    RegisterRequest request;
    request.reg = reg;
    request.width = width;
    request.value = *value;
    ControlLock lock(link);
    if (!lock.Held()) return kCamFail;
    return Result(RegisterWrite(link.transport, request));
}

CamResult CamBusRead(uint8_t deviceAddress, uint32_t subAddressCount, uint8_t* subAddress, uint32_t readCount,
                     uint8_t* out) {
    if (out == nullptr) return kCamFail;
    return BusTransaction(deviceAddress, subAddressCount, subAddress, readCount, nullptr, out);
}

CamResult CamBusWrite(uint8_t deviceAddress, uint32_t subAddressCount, uint8_t* subAddress,
                      uint32_t dataCount, const uint8_t* data) {
    return BusTransaction(deviceAddress, subAddressCount, subAddress, dataCount, data, nullptr);
}

}  // namespace devctl
