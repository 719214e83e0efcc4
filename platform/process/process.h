#pragma once
// Starting other programs: the stand-in for CreateProcess and ShellExecute.

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
