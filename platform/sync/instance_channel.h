#pragma once
// The line between the copy of the program that holds the single-instance mutex and a copy started after
// it: the holder listens on a local socket beside the mutex's lock file, a later copy knocks on it (so the
// holder brings its window to the front) and ends. The socket is per user ("<name>-<uid>.sock" in the lock
// folder): another user's window is not ours to raise.

#include <memory>
#include <string>

#include "platform/files/owned_handles.h"

namespace platform {

class InstanceListener {
  public:
    // Only the holder of the mutex may listen: a socket file left by a holder that died is replaced.
    // Nothing when the socket cannot be made (the program runs on, it just cannot be raised).
    static std::unique_ptr<InstanceListener> Listen(const std::string& name);
    ~InstanceListener();
    InstanceListener(const InstanceListener&) = delete;
    InstanceListener& operator=(const InstanceListener&) = delete;

    // Readable when a later copy knocked; for the GUI loop's socket watcher.
    int Descriptor() const { return fd_.get(); }
    // Accepts every knock waiting, without blocking; how many there were.
    int TakeKnocks();

  private:
    InstanceListener(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    UniqueFd fd_;
    std::string path_;
};

// A later copy: tells the holder to show its window. False when no holder listens.
bool KnockOnRunningInstance(const std::string& name);

}  // namespace platform
