#include "platform/process/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

extern char** environ;

namespace platform {

std::optional<int> StartProcess(const std::vector<std::string>& argv) {
    if (argv.empty() || argv[0].empty()) return std::nullopt;
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    int rc = ::posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        DebugLog("process", "cannot start %s: %s", argv[0].c_str(), std::strerror(rc));
        return std::nullopt;
    }
    return static_cast<int>(pid);
}

std::optional<int> WaitProcess(int pid) {
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid, &status, 0);
    } while (done < 0 && errno == EINTR);
    if (done != pid || !WIFEXITED(status)) return std::nullopt;
    return WEXITSTATUS(status);
}

std::optional<int> RunAndWait(const std::vector<std::string>& argv) {
    auto pid = StartProcess(argv);
    if (!pid) return std::nullopt;
    return WaitProcess(*pid);
}

bool OpenWithDesktop(const std::string& path_or_document) {
    const char* opener = std::getenv("VELLUMO_OPENER");
    std::string program = (opener != nullptr && opener[0] != '\0') ? opener : "xdg-open";
    auto pid = StartProcess({program, path_or_document});
    if (!pid) return false;
    std::thread([pid = *pid] { WaitProcess(pid); }).detach();
    return true;
}

bool IsExecutableProgram(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0) return false;
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() >= 4 && std::memcmp(magic, "\x7f" "ELF", 4) == 0) return true;
    return in.gcount() >= 2 && magic[0] == '#' && magic[1] == '!';
}

std::optional<std::string> FindProgramInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    std::istringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        std::string candidate = JoinPath(folder, name);
        if (IsExecutableProgram(candidate)) return candidate;
    }
    return std::nullopt;
}

bool RunningElevated() { return ::geteuid() == 0; }

}  // namespace platform
