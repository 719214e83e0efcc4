#pragma once
// A message target for tests: records what was posted and sent, from any thread, and answers sends with
// a handler of the test's choosing (or 0). Runs every call on the calling thread.

#include <mutex>
#include <vector>

#include "platform/window/window_messages.h"

class RecordingMessageTarget : public platform::MessageTarget {
  public:
    struct Record {
        platform::WindowMessage message;
        bool sent = false;
    };

    explicit RecordingMessageTarget(platform::MessageHandler handler = {}) : handler_(std::move(handler)) {}

    void PostMessage(const platform::WindowMessage& message) override { Add(message, false); }
    intptr_t SendMessage(const platform::WindowMessage& message) override {
        Add(message, true);
        if (message.message == platform::WM_RUNONWINDOWTHREAD) return message.call ? message.call() : 0;
        return handler_ ? handler_(message) : 0;
    }

    std::vector<Record> Records() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return records_;
    }
    size_t Count(uint32_t message) const {
        std::lock_guard<std::mutex> lock(mutex_);
        size_t count = 0;
        for (const Record& record : records_) count += record.message.message == message ? 1 : 0;
        return count;
    }

  private:
    void Add(const platform::WindowMessage& message, bool sent) {
        std::lock_guard<std::mutex> lock(mutex_);
        records_.push_back(Record{message, sent});
    }

    platform::MessageHandler handler_;
    mutable std::mutex mutex_;
    std::vector<Record> records_;
};
