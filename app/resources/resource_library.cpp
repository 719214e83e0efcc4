#include "app/resources/resource_library.h"

#include "platform/debuglog/debuglog.h"

std::optional<ResourceLibrary> ResourceLibrary::LoadFrom(const std::string& folder) {
    ResourceLibrary resources;
    resources.library_ = platform::Library::LoadFrom(folder, kResourceLibraryName);
    if (!resources.library_) return std::nullopt;
    resources.load_string_ = resources.library_.Get<VellumoResStringFn>(VELLUMO_RES_STRING_SYMBOL);
    resources.find_resource_ = resources.library_.Get<VellumoResFindFn>(VELLUMO_RES_FIND_SYMBOL);
    if (resources.load_string_ == nullptr || resources.find_resource_ == nullptr) {
        platform::DebugLog("resources", "%s has no resource entry points", kResourceLibraryName);
        return std::nullopt;
    }
    return resources;
}

std::string ResourceLibrary::LoadString(unsigned id) const {
    const char* text = load_string_(id);
    return text != nullptr ? text : "";
}

std::optional<std::string> ResourceLibrary::FindResource(unsigned type, unsigned id) const {
    unsigned size = 0;
    const unsigned char* data = find_resource_(type, id, &size);
    if (data == nullptr) return std::nullopt;
    return std::string(reinterpret_cast<const char*>(data), size);
}

namespace {
std::optional<ResourceLibrary>& Loaded() {
    static std::optional<ResourceLibrary> loaded;
    return loaded;
}
}  // namespace

ResourceLibrary* AppResources() { return Loaded() ? &*Loaded() : nullptr; }

void SetAppResources(std::optional<ResourceLibrary> resources) { Loaded() = std::move(resources); }

std::string LoadResString(unsigned id) {
    ResourceLibrary* resources = AppResources();
    return resources != nullptr ? resources->LoadString(id) : std::string();
}
