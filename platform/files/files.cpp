#include "platform/files/files.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/debuglog/debuglog.h"

namespace platform {

std::optional<FileAttributes> GetFileAttributes(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    FileAttributes attributes;
    attributes.is_directory = S_ISDIR(st.st_mode);
    attributes.read_only = (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
    return attributes;
}

bool CreateFolder(const std::string& path) {
    if (path.empty()) return false;
    return ::mkdir(path.c_str(), 0777) == 0;
}

void CreateFolderChain(const std::string& path) {
    std::string accumulated;
    size_t start = 0;
    for (;;) {
        size_t slash = path.find('/', start);
        accumulated.append(path, start, slash == std::string::npos ? std::string::npos : slash - start);
        // The root itself (the empty first component of an absolute path) is never created.
        if (!accumulated.empty() && accumulated != "/") CreateFolder(accumulated);
        if (slash == std::string::npos) return;
        accumulated += '/';
        start = slash + 1;
    }
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool OpenFolderToEveryone(const std::string& path) { return ::chmod(path.c_str(), 0777) == 0; }

bool OpenFileToEveryone(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & 0666) == 0666) return true;
    if ((st.st_mode & S_IWUSR) == 0 || st.st_uid != ::geteuid()) return false;
    return ::chmod(path.c_str(), (st.st_mode & 07777) | 0666) == 0;
}

namespace {

// Everything up to the end of the file; nothing on a read error (EISDIR for a folder included).
std::optional<std::string> ReadToEnd(const UniqueFd& fd) {
    std::string contents;
    char chunk[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) return contents;
        contents.append(chunk, static_cast<size_t>(n));
    }
}

}  // namespace

std::optional<std::string> ReadFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    return ReadToEnd(fd);
}

std::optional<std::string> ReadFileForRewrite(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (errno == ENOENT) return std::string();
        DebugLog("files", "cannot read %s (errno %d)", path.c_str(), errno);
        return std::nullopt;
    }
    auto contents = ReadToEnd(fd);
    if (!contents) DebugLog("files", "reading %s failed (errno %d)", path.c_str(), errno);
    return contents;
}

std::optional<InputFile> InputFile::Open(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return InputFile(std::move(fd), static_cast<uint64_t>(st.st_size));
}

bool InputFile::ReadExactly(uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = ::read(fd_.get(), data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // an error, or the file shrank meanwhile
        done += static_cast<size_t>(n);
    }
    return true;
}

std::optional<std::vector<std::string>> FolderEntries(const std::string& folder) {
    UniqueDir dir(::opendir(folder.c_str()));
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        names.emplace_back(entry->d_name);
    }
    return names;
}

std::optional<std::string> RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (path.empty() || ::realpath(path.c_str(), resolved) == nullptr) return std::nullopt;
    return std::string(resolved);
}

bool FolderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

CreateProbe TryCreateAndRemove(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd) return errno == EEXIST ? CreateProbe::Exists : CreateProbe::Refused;
    fd.reset();
    ::unlink(path.c_str());
    return CreateProbe::Created;
}

std::string CurrentFolder() {
    char cwd[PATH_MAX];
    return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string(".");
}

namespace {

mode_t CurrentUmask() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// A temporary file beside the target, removed again unless Commit or Link succeeds.
class TempFileBeside {
  public:
    explicit TempFileBeside(const std::string& target)
        : name_(target + ".XXXXXX"), fd_(::mkstemp(name_.data())) {
        if (!fd_)
            DebugLog("files", "cannot create a temporary file beside %s (errno %d)", target.c_str(), errno);
    }
    ~TempFileBeside() {
        fd_.reset();
        if (!kept_) ::unlink(name_.c_str());
    }
    TempFileBeside(const TempFileBeside&) = delete;
    TempFileBeside& operator=(const TempFileBeside&) = delete;

    bool Valid() const { return fd_.valid(); }

    bool Write(std::string_view contents) {
        const char* data = contents.data();
        size_t left = contents.size();
        while (left > 0) {
            ssize_t n = ::write(fd_.get(), data, left);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            data += n;
            left -= static_cast<size_t>(n);
        }
        return true;
    }

    // On disk before it takes the target's name, so a crash leaves the old file or the new, never an empty
    // one.
    bool Finish(mode_t mode) {
        bool ok = ::fchmod(fd_.get(), mode) == 0 && ::fsync(fd_.get()) == 0;
        return fd_.close() && ok;
    }

    // Moves the file over the target.
    bool RenameTo(const std::string& target) {
        kept_ = ::rename(name_.c_str(), target.c_str()) == 0;
        return kept_;
    }

    // Gives the file the target's name only when no such file exists. A hard link is the oldest way to do
    // that; folders that have none (FAT, exFAT, some network mounts) take a rename that refuses to replace.
    bool MoveToNewName(const std::string& target) {
        if (::link(name_.c_str(), target.c_str()) == 0) return true;
        if (errno == EEXIST) return false;
        kept_ = ::renameat2(AT_FDCWD, name_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
        return kept_;
    }

  private:
    std::string name_;
    UniqueFd fd_;
    bool kept_ = false;
};

}  // namespace

bool WriteFileReplacing(const std::string& path, const std::string& contents) {
    std::string_view part(contents);
    return WriteFileReplacingParts(path, std::span<const std::string_view>(&part, 1));
}

bool WriteFileReplacingParts(const std::string& link_or_path, std::span<const std::string_view> parts) {
    // Renaming over a link would put a plain file in its place; the file it leads to is the one to replace.
    std::string path = link_or_path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        auto target = RealPath(path);
        if (!target) {
            DebugLog("files", "%s is a link that leads nowhere; not written", path.c_str());
            return false;
        }
        path = *target;
    }
    bool exists = ::stat(path.c_str(), &st) == 0;
    // A file without any write permission bit counts as read-only even for root, like a read-only attribute.
    if (exists && ((st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)) {
        DebugLog("files", "%s is read-only; not written", path.c_str());
        return false;
    }
    TempFileBeside temp(path);
    if (!temp.Valid()) return false;
    mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    bool ok = true;
    for (std::string_view part : parts) ok = ok && temp.Write(part);
    ok = ok && temp.Finish(mode) && temp.RenameTo(path);
    if (!ok) DebugLog("files", "writing %s failed (errno %d)", path.c_str(), errno);
    return ok;
}

bool CopyFileNoReplace(const std::string& from, const std::string& to) {
    if (GetFileAttributes(to)) return false;
    auto contents = ReadFile(from);
    if (!contents) return false;
    TempFileBeside temp(to);
    // A file that appeared meanwhile is never replaced.
    return temp.Valid() && temp.Write(*contents) && temp.Finish(0666 & ~CurrentUmask()) &&
           temp.MoveToNewName(to);
}

bool MoveFileNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno == EEXIST) return false;
    if (errno == EINVAL || errno == ENOSYS) {
        // Folders without the no-replace rename (FAT, some network mounts): a hard link refuses a taken name
        // too.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        if (errno == EEXIST) return false;
    }
    if (!CopyFileNoReplace(from, to)) return false;
    ::unlink(from.c_str());
    return true;
}

bool SetDefaultFileMode(const std::string& path) {
    return ::chmod(path.c_str(), 0666 & ~CurrentUmask()) == 0;
}

std::optional<std::string> CreateUniqueFileIn(const std::string& folder, const std::string& stem) {
    std::string name = folder + stem + ".XXXXXX";
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) {
        DebugLog("files", "cannot make a new file in %s: %s", folder.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    return name;
}

bool SyncFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    const bool synced = fd && ::fsync(fd.get()) == 0;
    if (!synced) DebugLog("files", "%s is not on disk: %s", path.c_str(), std::strerror(errno));
    return fd.close() && synced;
}

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = (tmp != nullptr && tmp[0] != '\0') ? tmp : "/tmp";
    return WithTrailingSeparator(folder);
}

std::optional<std::string> CreateUniqueTempFile(const std::string& prefix) {
    std::string name = TempFolder() + prefix.substr(0, 3) + "XXXXXX.tmp";
    std::vector<char> buffer(name.begin(), name.end());
    buffer.push_back('\0');
    const int fd = ::mkstemps(buffer.data(), 4);
    if (fd < 0) {
        DebugLog("files", "cannot make a temporary file %s: %s", name.c_str(), std::strerror(errno));
        return std::nullopt;
    }
    ::close(fd);
    return std::string(buffer.data());
}

namespace {

std::string RunningProgramFolder() {
    std::vector<char> buffer(4096);
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return ".";
    std::string path(buffer.data(), static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// `relative` (from the bin folder) when the program runs installed and that folder exists.
std::string InstalledOrProgramFolder(const char* relative) {
    const std::string running = RunningProgramFolder();
    const auto attributes = GetFileAttributes(JoinPath(running, relative));
    if (!attributes || !attributes->is_directory) return running;
    return RealPath(JoinPath(running, relative)).value_or(running);
}

}  // namespace

std::string ProgramFolder() { return InstalledOrProgramFolder(VELLUMO_BIN_TO_PRIVATE_DIR); }

std::string DataFolder() { return InstalledOrProgramFolder(VELLUMO_BIN_TO_DATA_DIR); }

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return WithTrailingSeparator(folder) + name;
}

std::string WithTrailingSeparator(const std::string& path) {
    if (!path.empty() && path.back() == '/') return path;
    return path + "/";
}

}  // namespace platform
