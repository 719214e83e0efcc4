#pragma once
// Starting other programs: the stand-in for CreateProcess and ShellExecute.

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Starts argv[0] (searched in PATH when it has no '/') with the program's environment and current
// folder. Returns the process id, nothing when it could not be started.
std::optional<int> StartProcess(const std::vector<std::string>& argv);

// Waits for a process started by StartProcess; its exit code, or nothing when it did not exit normally.
std::optional<int> WaitProcess(int pid);

// StartProcess then WaitProcess, without a time limit.
std::optional<int> RunAndWait(const std::vector<std::string>& argv);

// How a waited-for process ended.
struct ProcessOutcome {
    enum class Kind { NotStarted, Exited, Signalled, TimedOut, Cancelled };
    Kind kind = Kind::NotStarted;
    int code = 0;  // the exit code (Exited) or the signal (Signalled)
    bool Succeeded() const { return kind == Kind::Exited && code == 0; }
};

// One line for the debug log: "exit code 3", "killed by signal 11", "did not end in time", ...
std::string DescribeOutcome(const ProcessOutcome& outcome);

// Waits at most `bound` for a process started by StartProcess; one still running then is killed and
// collected, and the outcome says TimedOut. When `cancel` turns true meanwhile (the program ends), the
// process is killed at once and the outcome says Cancelled.
ProcessOutcome WaitProcessBounded(int pid, std::chrono::milliseconds bound,
                                  const std::atomic<bool>* cancel = nullptr);

// StartProcess then WaitProcessBounded.
ProcessOutcome RunAndWaitBounded(const std::vector<std::string>& argv, std::chrono::milliseconds bound,
                                 const std::atomic<bool>* cancel = nullptr);

// Starts a program without waiting for it (the "open" of a program through the shell); its exit is
// collected in the background. False when it could not be started.
bool StartDetached(const std::vector<std::string>& argv);
// The same; `after_exit` runs on the collecting thread once the program has ended (it may still read
// files it was given until then). It does not run when the program could not be started.
bool StartDetached(const std::vector<std::string>& argv, std::function<void()> after_exit);

// Opens a folder or document with the desktop's handler ("open" verb): xdg-open, or the program named by
// VELLUMO_OPENER (tests). Does not wait for the handler; its exit is collected in the background.
bool OpenWithDesktop(const std::string& path_or_document);

// A regular file the caller may execute (an ELF binary or a "#!" script): the stand-in for the
// Windows executable-type query.
bool IsExecutableProgram(const std::string& path);

// The first executable program of that name in the folders of PATH, found like a shell would.
std::optional<std::string> FindProgramInPath(const std::string& name);

// The program runs with administrator rights (as the superuser).
bool RunningElevated();

}  // namespace platform
