#pragma once
// What the still-capture benchmarks share: a frame window that notes when a capture is done, the process's
// peak memory, and the median of the repetitions.

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/window/window_messages.h"

namespace bench {

using Clock = std::chrono::steady_clock;

// The frame window: notes when the capture-done message arrives.
class DoneTarget : public platform::MessageTarget {
  public:
    void PostMessage(const platform::WindowMessage& message) override { Note(message); }
    intptr_t SendMessage(const platform::WindowMessage& message) override {
        Note(message);
        return 0;
    }
    Clock::time_point Wait() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_; });
        done_ = false;
        return at_;
    }

  private:
    void Note(const platform::WindowMessage& message) {
        if (message.message != platform::WM_CAPTUREDONE) return;
        std::lock_guard lock(mutex_);
        done_ = true;
        at_ = Clock::now();
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    bool done_ = false;
    Clock::time_point at_;
};

inline long PeakKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace bench
