#include "platform/sync/instance_channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"
#include "platform/sync/named_mutex.h"

namespace platform {
namespace {

std::string SocketPath(const std::string& name) {
    std::string safe;
    for (char c : name) safe += (c == '/') ? '_' : c;
    return JoinPath(NamedMutex::LockFolder(), safe + "-" + std::to_string(::getuid()) + ".sock");
}

// False when the path does not fit a socket address.
bool FillAddress(const std::string& path, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

}  // namespace

std::unique_ptr<InstanceListener> InstanceListener::Listen(const std::string& name) {
    const std::string path = SocketPath(name);
    sockaddr_un address{};
    if (!FillAddress(path, address)) {
        DebugLog("sync", "the socket path %s is too long", path.c_str());
        return nullptr;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return nullptr;
    const auto* raw = reinterpret_cast<const sockaddr*>(&address);
    if (::bind(fd.get(), raw, sizeof address) != 0 && errno == EADDRINUSE) {
        // The mutex is ours, so whoever made this file has ended.
        ::unlink(path.c_str());
        if (::bind(fd.get(), raw, sizeof address) != 0) fd.reset();
    }
    if (fd && ::listen(fd.get(), 4) != 0) fd.reset();
    if (!fd) {
        DebugLog("sync", "cannot listen on %s (errno %d)", path.c_str(), errno);
        return nullptr;
    }
    return std::unique_ptr<InstanceListener>(new InstanceListener(std::move(fd), path));
}

InstanceListener::~InstanceListener() {
    fd_.reset();
    ::unlink(path_.c_str());
}

int InstanceListener::TakeKnocks() {
    int knocks = 0;
    for (;;) {
        UniqueFd peer(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!peer) break;
        ++knocks;
    }
    return knocks;
}

bool KnockOnRunningInstance(const std::string& name) {
    sockaddr_un address{};
    if (!FillAddress(SocketPath(name), address)) return false;
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd) return false;
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        DebugLog("sync", "no running copy listens (errno %d)", errno);
        return false;
    }
    return true;
}

}  // namespace platform
