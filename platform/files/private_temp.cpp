#include "platform/files/private_temp.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace platform {
namespace {

constexpr const char* kFolderName = "Vellumo";

std::string AbsoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    std::string path = value != nullptr && value[0] == '/' ? std::string(value) : std::string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// Our own folder, not a link, open to nobody else (its mode is narrowed when it is ours but wider).
bool OwnPrivateFolder(const std::string& folder) {
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) {
        DebugLog("files", "%s is not a folder of this user; temporary files cannot go there", folder.c_str());
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) {
        DebugLog("files", "cannot close %s to other users: %s", folder.c_str(), std::strerror(errno));
        return false;
    }
    return true;
}

std::string Base() {
    std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (!runtime.empty() && ::stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::geteuid())
        return runtime;
    std::string cache = AbsoluteEnv("XDG_CACHE_HOME");
    if (!cache.empty()) return cache;
    std::string home = AbsoluteEnv("HOME");
    return home.empty() ? std::string() : home + "/.cache";
}

bool WriteAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

std::optional<std::string> PrivateTempFolder() {
    const std::string base = Base();
    if (base.empty()) {
        DebugLog("files", "no home folder and no runtime folder: nowhere private for temporary files");
        return std::nullopt;
    }
    const std::string folder = base + "/" + kFolderName;
    CreateFolderChain(base + "/");
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        DebugLog("files", "cannot make %s: %s", folder.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    if (!OwnPrivateFolder(folder)) return std::nullopt;
    return folder + "/";
}

bool InPrivateTempFolder(const std::string& path) {
    const std::optional<std::string> folder = PrivateTempFolder();
    if (!folder || path.size() <= folder->size() || path.compare(0, folder->size(), *folder) != 0)
        return false;
    const std::string_view name = std::string_view(path).substr(folder->size());
    return name.find('/') == std::string_view::npos && name != "." && name != "..";
}

FileResult FileResult::FromErrno(int errnum) { return Failed(std::strerror(errnum)); }

FileResult WritePrivateFile(const std::string& path, std::span<const std::string_view> parts) {
    if (path.empty() || path[0] != '/') return FileResult::Failed("there is no private temporary folder");
    std::string temp = path + ".XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));  // O_EXCL: always a new file of our own
    if (!fd) {
        const int errnum = errno;
        DebugLog("files", "cannot create a file beside %s: %s", path.c_str(), std::strerror(errnum));
        return FileResult::FromErrno(errnum);
    }
    bool ok = true;
    for (std::string_view part : parts) ok = ok && WriteAll(fd.get(), part);
    ok = fd.close() && ok;
    // rename() replaces whatever has the name, a link included, and never writes through it.
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) return FileResult::Done();
    const int errnum = errno;
    DebugLog("files", "cannot write %s: %s", path.c_str(), std::strerror(errnum));
    ::unlink(temp.c_str());
    return FileResult::FromErrno(errnum);
}

bool AppendPrivateFile(const std::string& path, std::string_view text) {
    if (path.empty() || path[0] != '/') return false;
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) {
        DebugLog("files", "cannot append to %s: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    return WriteAll(fd.get(), text) && fd.close();
}

std::optional<std::string> CreateUniquePrivateFile(const std::string& prefix, const std::string& suffix) {
    const std::optional<std::string> folder = PrivateTempFolder();
    if (!folder) return std::nullopt;
    std::string name = *folder + prefix.substr(0, 3) + "XXXXXX" + suffix;
    const int fd = ::mkostemps(name.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd < 0) {
        DebugLog("files", "cannot make a temporary file %s: %s", name.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    ::close(fd);
    return name;
}

}  // namespace platform
