#include "virtualcam/chip/wire_log.h"

#include <cstdio>

#include "platform/debuglog/debuglog.h"

namespace virtualcam {

void WireLog::Add(const std::string& channel, const std::string& text) {
    // The debug log carries the same lines, so a run of the program can be compared with another chip's.
    platform::DebugLog("wire", "%s %s", channel.c_str(), text.c_str());
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back({channel, text});
}

std::vector<WireEvent> WireLog::Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<std::string> WireLog::Channel(const std::string& channel) const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> texts;
    for (const WireEvent& event : events_) {
        if (event.channel == channel) texts.push_back(event.text);
    }
    return texts;
}

void WireLog::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
}

std::string HexBytes(const uint8_t* bytes, size_t count) {
    while (count > 0 && bytes[count - 1] == 0) --count;
    std::string text;
    char hex[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
        if (i > 0) text += ' ';
        text += hex;
    }
    return text;
}

std::string TransferText(const char* op, uint32_t id, size_t length, const uint8_t* bytes, size_t count) {
    char head[64];
    std::snprintf(head, sizeof head, "%s %x [%zu]", op, id, length);
    std::string text = head;
    std::string data = HexBytes(bytes, count);
    if (!data.empty()) text += ": " + data;
    return text;
}

}  // namespace virtualcam
