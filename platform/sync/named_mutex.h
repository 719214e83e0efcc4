#pragma once
// A system-wide named mutex: the stand-in for a Windows named mutex.
// Backed by flock() on "<lock folder>/<name>.lock", where the lock folder is VELLUMO_LOCK_DIR, else
// XDG_RUNTIME_DIR, else /tmp. The lock is exclusive between processes and between threads (also when
// threads share one NamedMutex object), is released when its holder ends, and is not recursive.

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/files/owned_handles.h"

namespace platform {

class NamedMutex {
  public:
    explicit NamedMutex(const std::string& name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // False when the lock file could not be opened; Lock then always fails.
    bool Valid() const { return fd_.valid(); }

    // Waits at most timeout_ms (0: just try). True when the caller now holds the mutex.
    bool Lock(int timeout_ms);
    void Unlock();

    static std::string LockFolder();

  private:
    void ReleaseInProcess();

    UniqueFd fd_;  // closing it releases a lock still held
    // The hold between this process's threads. Not a std::timed_mutex: its timed wait is a call the thread
    // sanitizer does not follow, so every unlock would look wrong to it.
    std::mutex in_process_mutex_;
    std::condition_variable in_process_released_;
    bool in_process_held_ = false;
};

// Holds a NamedMutex for a scope when Lock succeeded.
class NamedMutexGuard {
  public:
    NamedMutexGuard(NamedMutex& mutex, int timeout_ms) : mutex_(mutex), held_(mutex.Lock(timeout_ms)) {}
    ~NamedMutexGuard() {
        if (held_) mutex_.Unlock();
    }
    NamedMutexGuard(const NamedMutexGuard&) = delete;
    NamedMutexGuard& operator=(const NamedMutexGuard&) = delete;
    bool Held() const { return held_; }

  private:
    NamedMutex& mutex_;
    bool held_;
};

}  // namespace platform
