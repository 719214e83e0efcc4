#include "app/application/settings_path.h"

#include <optional>
#include <vector>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/files/folders.h"
#include "platform/profile/profile.h"

namespace {

constexpr size_t kModuleBuffer = 60;

// Makes the folder when missing and reports whether a file can be made in it. A folder made for the
// machine-wide copy is opened to every user, so settings saved by one user are seen by all.
bool PrepareFolder(const std::string& folder, bool for_every_user) {
    auto attributes = platform::GetFileAttributes(folder);
    if (!attributes || !attributes->is_directory) {
        platform::CreateFolder(folder);
        if (for_every_user) platform::OpenFolderToEveryone(folder);
        attributes = platform::GetFileAttributes(folder);
    }
    return attributes && attributes->is_directory && platform::FolderWritable(folder);
}

// A working file in the folder: copied from the shipped file when missing. Usable when the file can be
// read and written afterwards, or can at least be created.
std::optional<std::string> TryFolder(const std::string& folder, const std::string& shipped,
                                     bool for_every_user) {
    if (!PrepareFolder(folder, for_every_user)) return std::nullopt;
    std::string path = platform::JoinPath(folder, kSettingsFileName);
    if (!platform::GetFileAttributes(path)) platform::CopyFileNoReplace(shipped, path);
    // Every user saves into the same file, so it must be writable by all, not only by whoever made it.
    if (for_every_user) platform::OpenFileToEveryone(path);
    return path;
}

std::string Parent(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

SettingsLocation SettleSettingsPath(const std::string& program_folder) {
    SettingsLocation location;
    location.shipped_path = platform::JoinPath(program_folder, kSettingsFileName);
    std::string module =
        platform::ReadProfileString(location.shipped_path, "Vellumo", "Module", "", kModuleBuffer);

    auto shared = platform::CommonDocumentsFolder();
    if (!shared) shared = platform::UserDocumentsFolder();
    if (shared && !module.empty()) {
        if (auto path = TryFolder(platform::JoinPath(*shared, module), location.shipped_path, true)) {
            location.working_path = *path;
            return location;
        }
    }

    location.fallback = true;
    std::vector<std::string> candidates;
    if (auto documents = platform::UserDocumentsFolder())
        candidates.push_back(platform::JoinPath(*documents, module.empty() ? "Vellumo" : module));
    if (auto config = platform::UserConfigFolder())
        candidates.push_back(platform::JoinPath(*config, "Vellumo"));
    candidates.push_back(platform::PerUserTempFolder("Vellumo"));
    for (const std::string& folder : candidates) {
        PrepareFolder(Parent(folder), false);  // a fresh account may lack ~/Documents or ~/.config
        if (auto path = TryFolder(folder, location.shipped_path, false)) {
            location.working_path = *path;
            platform::DebugLog("settings", "shared settings folder not usable; using %s", path->c_str());
            return location;
        }
    }
    // Nothing writable at all: the record starts from the shipped values and saving is left off, so the
    // shipped file is never written.
    location.working_path = location.shipped_path;
    location.read_only = true;
    platform::DebugLog("settings", "no writable settings folder; using the shipped file read-only");
    return location;
}
