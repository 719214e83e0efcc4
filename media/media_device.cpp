#include "media/media_device.h"

#include <algorithm>
#include <cstring>

#include "media/system_devices.h"

namespace platform {
namespace {

std::vector<MediaDeviceProvider*>& Providers() {
    // Never destroyed: providers held in static objects unregister during the process's exit, in whatever
    // order those are destroyed.
    static auto* providers = new std::vector<MediaDeviceProvider*>();
    return *providers;
}

// The system's provider first, then the registered ones.
std::vector<MediaDeviceProvider*> AllProviders() {
    static SystemDeviceProvider system;
    std::vector<MediaDeviceProvider*> all{&system};
    all.insert(all.end(), Providers().begin(), Providers().end());
    return all;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool Guid::operator==(const Guid& other) const { return std::memcmp(bytes, other.bytes, 16) == 0; }

Guid GuidFromString(const char* text) {
    // Canonical text: 8-4-4-4-12 hex digits; the first three groups are stored little-endian.
    std::string hex;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p == '{' || *p == '}' || *p == '-') continue;
        if (HexDigit(*p) < 0) return Guid{};
        hex.push_back(*p);
    }
    if (hex.size() != 32) return Guid{};
    uint8_t raw[16];
    for (int i = 0; i < 16; ++i)
        raw[i] = static_cast<uint8_t>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
    static const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    Guid guid;
    for (int i = 0; i < 16; ++i) guid.bytes[i] = raw[order[i]];
    return guid;
}

const Guid kNodeTypeDevSpecific = GuidFromString("{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}");
const Guid kNodeTypeVideoSelector = GuidFromString("{DFF229E4-F70F-11D0-B917-00A0C9223196}");
const Guid kNodeTypeVideoProcessing = GuidFromString("{DFF229E5-F70F-11D0-B917-00A0C9223196}");
const Guid kNodeTypeVideoCameraTerminal = GuidFromString("{DFF229E6-F70F-11D0-B917-00A0C9223196}");
const Guid kNodeTypeVideoInputTerminal = GuidFromString("{DFF229E7-F70F-11D0-B917-00A0C9223196}");
const Guid kNodeTypeVideoOutputTerminal = GuidFromString("{DFF229E8-F70F-11D0-B917-00A0C9223196}");
const Guid kNodeTypeVideoEncoding = GuidFromString("{DFF229E9-F70F-11D0-B917-00A0C9223196}");

void RegisterDeviceProvider(MediaDeviceProvider* provider) {
    if (provider == nullptr) return;
    auto& providers = Providers();
    if (std::find(providers.begin(), providers.end(), provider) == providers.end())
        providers.push_back(provider);
}

void UnregisterDeviceProvider(MediaDeviceProvider* provider) {
    auto& providers = Providers();
    providers.erase(std::remove(providers.begin(), providers.end(), provider), providers.end());
}

std::vector<MediaDeviceInfo> ListDevices(DeviceCategory category) {
    std::vector<MediaDeviceInfo> devices;
    for (MediaDeviceProvider* provider : AllProviders()) {
        std::vector<MediaDeviceInfo> some = provider->List(category);
        devices.insert(devices.end(), some.begin(), some.end());
    }
    return devices;
}

std::vector<MediaDeviceInfo> ListProviderDevices(DeviceCategory category) {
    std::vector<MediaDeviceInfo> devices;
    for (MediaDeviceProvider* provider : Providers()) {
        std::vector<MediaDeviceInfo> some = provider->List(category);
        devices.insert(devices.end(), some.begin(), some.end());
    }
    return devices;
}

std::unique_ptr<MediaDevice> BindProviderDevice(DeviceCategory category, const MediaDeviceInfo& info) {
    for (MediaDeviceProvider* provider : Providers()) {
        for (const MediaDeviceInfo& listed : provider->List(category)) {
            if (listed.device_path == info.device_path && listed.node == info.node)
                return provider->Bind(category, listed);
        }
    }
    return nullptr;
}

std::unique_ptr<MediaDevice> BindDeviceByPath(DeviceCategory category, const std::string& path) {
    for (MediaDeviceProvider* provider : AllProviders()) {
        for (const MediaDeviceInfo& info : provider->List(category)) {
            const std::string& key = info.device_path.empty() ? info.friendly_name : info.device_path;
            if (key.empty() || key != path) continue;
            return provider->Bind(category, info);
        }
    }
    return nullptr;
}

}  // namespace platform
