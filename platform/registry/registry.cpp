#include "platform/registry/registry.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/files/files.h"
#include "platform/files/folders.h"
#include "platform/profile/profile.h"

namespace platform {
namespace {

// A value that is absent reads as this marker, which no stored value can hold (line breaks are dropped
// on write).
constexpr const char* kAbsent = "\n";

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string() : path.substr(0, slash);
}

// Creates the folders leading to the hive file.
void MakeParents(const std::string& file) {
    std::string folder = Parent(file);
    if (folder.empty() || GetFileAttributes(folder)) return;
    MakeParents(folder);
    ::mkdir(folder.c_str(), 0755);
}

}  // namespace

std::string RegistryHivePath(RegistryHive hive) {
    const char* override_name =
        hive == RegistryHive::CurrentUser ? "VELLUMO_REGISTRY_USER" : "VELLUMO_REGISTRY_MACHINE";
    if (const char* value = std::getenv(override_name); value != nullptr && value[0] != '\0') return value;
    if (hive == RegistryHive::LocalMachine) return "/etc/Vellumo/registry.ini";
    // Without a home there is no current-user hive: reads find nothing and writes fail.
    auto config = UserConfigFolder();
    return config ? JoinPath(*config, "Vellumo/registry.ini") : std::string();
}

std::optional<std::string> RegistryReadString(RegistryHive hive, const std::string& key,
                                              const std::string& name, size_t max_bytes) {
    // The marker needs one byte, so read with at least two.
    std::string value =
        ReadProfileString(RegistryHivePath(hive), key, name, kAbsent, max_bytes < 2 ? 2 : max_bytes);
    if (value == kAbsent) return std::nullopt;
    if (value.size() >= max_bytes) value.resize(max_bytes - 1);
    return value;
}

std::optional<uint32_t> RegistryReadDword(RegistryHive hive, const std::string& key,
                                          const std::string& name) {
    auto text = RegistryReadString(hive, key, name, 32);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long long number = std::strtoull(text->c_str(), &end, 0);
    if (end == nullptr || *end != '\0' || number > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<uint32_t>(number);
}

bool RegistryWriteString(RegistryHive hive, const std::string& key, const std::string& name,
                         const std::string& value) {
    std::string path = RegistryHivePath(hive);
    MakeParents(path);
    return WritePrivateProfileString(key, name, value, path);
}

bool RegistryWriteDword(RegistryHive hive, const std::string& key, const std::string& name, uint32_t value) {
    return RegistryWriteString(hive, key, name, std::to_string(value));
}

bool RegistryDeleteValue(RegistryHive hive, const std::string& key, const std::string& name) {
    return DeletePrivateProfileKey(key, name, RegistryHivePath(hive));
}

}  // namespace platform
