#include "media/sysfs.h"

#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <utility>

namespace platform {

std::string SysfsRoot() {
    const char* value = std::getenv("VELLUMO_SYSFS_ROOT");
    return value != nullptr && value[0] != '\0' ? value : "/sys";
}

std::optional<std::string> ReadSysfsAttribute(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream contents;
    contents << in.rdbuf();
    if (in.bad()) return std::nullopt;
    std::string text = contents.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::optional<unsigned long> ReadSysfsHexAttribute(const std::string& path) {
    std::optional<std::string> text = ReadSysfsAttribute(path);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    unsigned long value = std::strtoul(text->c_str(), &end, 16);
    if (*end != '\0') return std::nullopt;
    return value;
}

std::vector<std::string> NumberedSysfsEntries(const std::string& folder, const std::string& prefix) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return {};
    std::vector<std::pair<long, std::string>> found;
    while (dirent* entry = ::readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) continue;
        found.emplace_back(std::strtol(name.c_str() + prefix.size(), nullptr, 10), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    for (auto& entry : found) names.push_back(std::move(entry.second));
    return names;
}

std::optional<std::string> ResolvedSysfsPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

std::string SysfsJoin(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace platform
