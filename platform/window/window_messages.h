#pragma once
// How any thread reaches a window of the program: post (queued, returns at once) or send (blocks until the
// window's thread has handled the message and returns the handler's result), as window messages do.
// Qt-free: the toolkit's implementation is platform/ui/qt_message_target.h; tests use a recording double.

#include <cstdint>
#include <functional>

namespace platform {

// The program's messages.
constexpr uint32_t WM_DEVICECHANGE = 0x0219;  // wparam: DBT_DEVICEARRIVAL / DBT_DEVICEREMOVECOMPLETE
constexpr uint32_t WM_GRAPHNOTIFY = 0x7E8;    // capture graph events are waiting
constexpr uint32_t WM_CAPTUREDONE = 0x7E9;    // a still capture has finished
// "Run this on the window's thread and wait": worker and dialog threads ask the GUI thread to show a dialog
// (or to do anything else with widgets) through it; `call` runs there and its result is the send's result.
constexpr uint32_t WM_RUNONWINDOWTHREAD = 0x7F0;
// The live outline has examined another preview frame (the result waits with its sender).
constexpr uint32_t WM_PAGEWATCH = 0x7F1;

constexpr uintptr_t DBT_DEVICEARRIVAL = 0x8000;
constexpr uintptr_t DBT_DEVICEREMOVECOMPLETE = 0x8004;

struct WindowMessage {
    uint32_t message = 0;
    uintptr_t wparam = 0;
    intptr_t lparam = 0;
    std::function<intptr_t()> call;  // WM_RUNONWINDOWTHREAD only
};

// What a window does with its messages; runs on the window's thread.
using MessageHandler = std::function<intptr_t(const WindowMessage&)>;

class MessageTarget {
  public:
    virtual ~MessageTarget() = default;
    // Queues the message; safe from any thread. Dropped once the window is closed.
    virtual void PostMessage(const WindowMessage& message) = 0;
    // Handles the message on the window's thread and returns the result; called on that thread it runs at
    // once. Once the window is closed (or while it closes) it returns 0 without waiting.
    virtual intptr_t SendMessage(const WindowMessage& message) = 0;
};

// Shorthands.
inline void PostMessage(MessageTarget* target, uint32_t message, uintptr_t wparam = 0, intptr_t lparam = 0) {
    if (target != nullptr) target->PostMessage(WindowMessage{message, wparam, lparam, {}});
}
inline intptr_t SendMessage(MessageTarget* target, uint32_t message, uintptr_t wparam = 0,
                            intptr_t lparam = 0) {
    return target != nullptr ? target->SendMessage(WindowMessage{message, wparam, lparam, {}}) : 0;
}
// Runs `call` on the target's thread and waits for it (0 when the target is gone or closed).
inline intptr_t RunOnWindowThread(MessageTarget* target, std::function<intptr_t()> call) {
    return target != nullptr ? target->SendMessage(WindowMessage{WM_RUNONWINDOWTHREAD, 0, 0, std::move(call)})
                             : 0;
}

}  // namespace platform
