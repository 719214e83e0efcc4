#include "platform/sync/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <thread>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace platform {
namespace {

std::string LockFileName(const std::string& name) {
    std::string safe;
    for (char c : name) safe += (c == '/') ? '_' : c;
    return safe + ".lock";
}

// The lock folder is shared by every user (/tmp when there is no runtime folder), so the file may belong to
// someone else: open what exists without O_CREAT (a sticky folder refuses O_CREAT on others' files),
// read-only when it is not ours to write (flock needs no write access), and make it usable by all when we
// create it.
UniqueFd OpenLockFile(const std::string& path) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        UniqueFd fd(::open(path.c_str(), O_RDWR | O_CLOEXEC));
        if (!fd && errno == EACCES) fd.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (fd || errno != ENOENT) return fd;
        fd.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (fd) {
            ::fchmod(fd.get(), 0666);
            return fd;
        }
        if (errno != EEXIST) return fd;  // EEXIST: another process created it just now
    }
    return UniqueFd();
}

}  // namespace

std::string NamedMutex::LockFolder() {
    for (const char* variable : {"VELLUMO_LOCK_DIR", "XDG_RUNTIME_DIR"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') return value;
    }
    return "/tmp";
}

NamedMutex::NamedMutex(const std::string& name) {
    std::string path = JoinPath(LockFolder(), LockFileName(name));
    fd_ = OpenLockFile(path);
    if (!fd_) DebugLog("sync", "cannot open lock file %s (errno %d)", path.c_str(), errno);
}

NamedMutex::~NamedMutex() = default;

bool NamedMutex::Lock(int timeout_ms) {
    if (!fd_) return false;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    {
        std::unique_lock<std::mutex> lock(in_process_mutex_);
        if (!in_process_released_.wait_until(lock, deadline, [this] { return !in_process_held_; }))
            return false;
        in_process_held_ = true;
    }
    for (;;) {
        if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ReleaseInProcess();
    return false;
}

void NamedMutex::ReleaseInProcess() {
    {
        std::lock_guard<std::mutex> lock(in_process_mutex_);
        in_process_held_ = false;
    }
    in_process_released_.notify_one();
}

void NamedMutex::Unlock() {
    ::flock(fd_.get(), LOCK_UN);
    ReleaseInProcess();
}

}  // namespace platform
