#include "device/facade/extension_unit.h"

#include <chrono>
#include <thread>

#include "device/facade/facade_config.h"
#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/process/process.h"
#include "platform/registry/registry.h"

namespace devctl {
namespace {

constexpr uint32_t kTopologyNodes = 4;
constexpr const char kComponentFile[] = "emxunit.dll";
constexpr const char kInstallerFile[] = "Install_UvcCtrl.exe";
constexpr size_t kPathBytes = 260;
constexpr auto kRegisterSettle = std::chrono::milliseconds(300);
constexpr auto kInstallerSettle = std::chrono::milliseconds(1500);

std::string ComponentFolder() {
    const std::string& folder = GetFacadeConfig().componentFolder;
    return folder.empty() ? platform::ProgramFolder() : folder;
}

std::string InstallerFolder() {
    const std::string& folder = GetFacadeConfig().installerFolder;
    if (!folder.empty()) return folder;
    return platform::CurrentFolder();
}

bool Elevated() {
    std::optional<bool> elevated = GetFacadeConfig().elevated;
    return elevated.has_value() ? *elevated : platform::RunningElevated();
}

}  // namespace

void ExtensionLink::Close() {
    filter_.reset();
    if (object_ != nullptr) {
        object_->Detach();
        object_->Release();
        object_ = nullptr;
    }
    library_ = platform::Library();
}

bool ExtensionLink::Probe(std::unique_ptr<platform::MediaDevice> filter) {
    if (!filter) return false;
    platform::KsTopologyInfo* topology = filter->QueryTopology();
    if (topology == nullptr) return false;
    uint32_t nodes = 0;
    if (!topology->GetNumNodes(&nodes) || nodes != kTopologyNodes) return false;
    for (uint32_t i = 0; i < nodes; ++i) {
        platform::Guid type;
        if (!topology->GetNodeType(i, &type) || type != platform::kNodeTypeDevSpecific) continue;
        UvcXuNode node{};
        if (!topology->CreateNodeInstance(i, &node)) return false;
        if (!library_) library_ = platform::Library::LoadFrom(ComponentFolder(), kComponentFile);
        auto create = library_.Get<EmxCreateExtensionControlFn>(EMX_CREATE_EXPORT);
        if (create == nullptr) return false;
        emx::IUvcExtensionControl* object = nullptr;
        if (create(&node, &object) < 0 || object == nullptr) return false;
        uint32_t found = 0;
        if (object->Attach(&found) >= 0 && found != 0) {
            object_ = object;
            filter_ = std::move(filter);
            return true;
        }
        object->Release();
    }
    library_ = platform::Library();
    return false;
}

bool ExtensionComponentPresent() {
    using platform::RegistryHive;
    std::optional<uint32_t> version =
        platform::RegistryReadDword(RegistryHive::CurrentUser, emx::kRegistryKey, emx::kVersionValue);
    std::optional<std::string> file = platform::RegistryReadString(
        RegistryHive::CurrentUser, emx::kRegistryKey, emx::kFilePathValue, kPathBytes);
    if (!version || !file) return false;
    return platform::GetFileAttributes(*file).has_value() && *version >= emx::kComponentVersion;
}

void InstallExtensionComponent() {
    if (Elevated()) {
        platform::Library component = platform::Library::LoadFrom(ComponentFolder(), kComponentFile);
        if (auto registerServer = component.Get<DllRegisterServerFn>(EMX_REGISTER_EXPORT)) {
            if (registerServer() < 0) platform::DebugLog("devctl", "DllRegisterServer failed");
        }
        component = platform::Library();
        std::this_thread::sleep_for(kRegisterSettle);
        return;
    }
    std::string installer = platform::JoinPath(InstallerFolder(), kInstallerFile);
    if (installer.size() >= kPathBytes || !platform::GetFileAttributes(installer)) return;
    std::optional<std::string> pkexec = platform::FindProgramInPath("pkexec");
    if (!pkexec) {
        platform::DebugLog("devctl", "no pkexec: %s not started", installer.c_str());
        return;
    }
    std::optional<int> pid = platform::StartProcess({*pkexec, installer});
    if (!pid) return;
    // Nobody waits for the installer; its exit is only collected.
    std::thread([child = *pid] { platform::WaitProcess(child); }).detach();
    std::this_thread::sleep_for(kInstallerSettle);
}

}  // namespace devctl
