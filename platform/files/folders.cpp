#include "platform/files/folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/files/files.h"

namespace platform {
namespace {

std::optional<std::string> Override(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

std::optional<std::string> Absent(const std::string& value) {
    if (value.empty()) return std::nullopt;
    std::string trimmed = value;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    return trimmed;
}

std::optional<std::string> HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') return std::string(home);
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr)
        return std::string(pw->pw_dir);
    return std::nullopt;
}

// A relative XDG_CONFIG_HOME is invalid and ignored, as the base-directory rules ask.
std::string ConfigFolderOf(const std::string& home) {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    return config != nullptr && config[0] == '/' ? std::string(config) : home + "/.config";
}

// A line `NAME="$HOME/Folder"` or `NAME="/absolute/folder"` of user-dirs.dirs; anything else is ignored.
std::optional<std::string> UserDirsEntry(const char* xdg_name, const std::string& home) {
    auto contents = ReadFile(ConfigFolderOf(home) + "/user-dirs.dirs");
    if (!contents) return std::nullopt;
    const std::string key = std::string(xdg_name) + "=\"";
    size_t start = 0;
    while (start < contents->size()) {
        size_t end = contents->find('\n', start);
        if (end == std::string::npos) end = contents->size();
        std::string_view line(contents->data() + start, end - start);
        start = end + 1;
        if (!line.starts_with(key) || !line.ends_with('"') || line.size() < key.size() + 1) continue;
        std::string_view value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME/")) return home + std::string(value.substr(5));
        if (value.starts_with('/')) return std::string(value);
    }
    return std::nullopt;
}

std::optional<std::string> XdgFolder(const char* override_name, const char* xdg_name, const char* fallback) {
    if (auto value = Override(override_name)) return Absent(*value);
    if (auto value = Override(xdg_name); value && !value->empty()) return Absent(*value);
    auto home = HomeFolder();
    if (!home) return std::nullopt;
    if (auto value = UserDirsEntry(xdg_name, *home)) return Absent(*value);
    return Absent(*home + "/" + fallback);
}

}  // namespace

std::optional<std::string> CommonDocumentsFolder() {
    if (auto value = Override("VELLUMO_COMMON_DOCUMENTS")) return Absent(*value);
    if (::access("/var/lib", W_OK) == 0) return std::string("/var/lib");
    return std::nullopt;
}

std::optional<std::string> UserDocumentsFolder() {
    return XdgFolder("VELLUMO_USER_DOCUMENTS", "XDG_DOCUMENTS_DIR", "Documents");
}

std::optional<std::string> DesktopFolder() {
    return XdgFolder("VELLUMO_DESKTOP", "XDG_DESKTOP_DIR", "Desktop");
}

std::optional<std::string> UserConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') return Absent(config);
    auto home = HomeFolder();
    if (!home) return std::nullopt;
    return Absent(ConfigFolderOf(*home));
}

std::string PerUserTempFolder(const std::string& name) {
    return TempFolder() + name + "-" + std::to_string(::getuid());
}

}  // namespace platform
