#pragma once
// What crossed the virtual camera's wires, in order: every HID, extension-unit and KS transfer, every
// serial-bus transaction, and every touch of its video devices. Tests assert exact sequences on it.
// Each event is also a debug-log line "[wire] <channel> <text>". Thread-safe.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace virtualcam {

struct WireEvent {
    std::string channel;  // "hid", "xu", "ks-capture", "ks-receiver", "bus", "media"
    std::string text;     // e.g. "set 87 [4]: 03" (lengths in brackets, trailing zero bytes left off)
};

class WireLog {
  public:
    void Add(const std::string& channel, const std::string& text);
    std::vector<WireEvent> Events() const;
    // The texts of one channel, in order.
    std::vector<std::string> Channel(const std::string& channel) const;
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::vector<WireEvent> events_;
};

// "03 00 1f" with trailing zero bytes left off ("" when all are zero).
std::string HexBytes(const uint8_t* bytes, size_t count);
// "<op> <id in hex> [<length>]" followed by ": <bytes>" when any byte is nonzero.
std::string TransferText(const char* op, uint32_t id, size_t length, const uint8_t* bytes, size_t count);

}  // namespace virtualcam
