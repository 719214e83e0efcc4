#include "platform/process/process.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

std::string DescribeOutcome(const ProcessOutcome& outcome) {
    switch (outcome.kind) {
        case ProcessOutcome::Kind::NotStarted:
            return "not started";
        case ProcessOutcome::Kind::Exited:
            return "exit code " + std::to_string(outcome.code);
        case ProcessOutcome::Kind::Signalled:
            return "killed by signal " + std::to_string(outcome.code);
        case ProcessOutcome::Kind::TimedOut:
            return "did not end in time and was killed";
        case ProcessOutcome::Kind::Cancelled:
            return "was stopped as the program ended";
    }
    return "unknown";
}

namespace {

// Collects an ended process without blocking; true when it had ended.
bool TryReap(int pid, ProcessOutcome& outcome) {
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    if (done != pid) {
        outcome = {};  // not our child, or already collected
        return true;
    }
    if (WIFEXITED(status))
        outcome = {ProcessOutcome::Kind::Exited, WEXITSTATUS(status)};
    else
        outcome = {ProcessOutcome::Kind::Signalled, WIFSIGNALED(status) ? WTERMSIG(status) : 0};
    return true;
}

}  // namespace

ProcessOutcome WaitProcessBounded(int pid, std::chrono::milliseconds bound, const std::atomic<bool>* cancel) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + bound;
    ProcessOutcome outcome;
    // A process descriptor becomes readable when the process ends, so the wait needs no polling; kernels
    // without it fall back to short naps.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    while (!TryReap(pid, outcome)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const bool cancelled = cancel != nullptr && cancel->load();
        if (left.count() <= 0 || cancelled) {
            ::kill(pid, SIGKILL);
            WaitProcess(pid);
            outcome = {cancelled ? ProcessOutcome::Kind::Cancelled : ProcessOutcome::Kind::TimedOut, 0};
            break;
        }
        if (pidfd >= 0) {
            pollfd fd{pidfd, POLLIN, 0};
            // Short enough slices that a cancel is seen at once.
            ::poll(&fd, 1,
                   static_cast<int>(std::min<long long>(left.count(), cancel != nullptr ? 50 : 1000)));
        } else {
            std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(10)));
        }
    }
    if (pidfd >= 0) ::close(pidfd);
    return outcome;
}

ProcessOutcome RunAndWaitBounded(const std::vector<std::string>& argv, std::chrono::milliseconds bound,
                                 const std::atomic<bool>* cancel) {
    auto pid = StartProcess(argv);
    if (!pid) return {};
    return WaitProcessBounded(*pid, bound, cancel);
}

bool StartDetached(const std::vector<std::string>& argv) { return StartDetached(argv, {}); }

bool StartDetached(const std::vector<std::string>& argv, std::function<void()> after_exit) {
    auto pid = StartProcess(argv);
    if (!pid) return false;
    std::thread([pid = *pid, after_exit = std::move(after_exit)] {
        WaitProcess(pid);
        if (after_exit) after_exit();
    }).detach();
    return true;
}

bool OpenWithDesktop(const std::string& path_or_document) {
    const char* opener = std::getenv("VELLUMO_OPENER");
    std::string program = (opener != nullptr && opener[0] != '\0') ? opener : "xdg-open";
    return StartDetached({program, path_or_document});
}

bool IsExecutableProgram(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK) != 0)
        return false;
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    in.read(magic, sizeof magic);
    if (in.gcount() >= 4 && std::memcmp(magic,
                                        "\x7f"
                                        "ELF",
                                        4) == 0)
        return true;
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
