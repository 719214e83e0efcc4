#pragma once
// The hands-free choices the user makes on the Photo tab, kept per user beside the window's look: the live
// outline and auto-capture switches (both off at first) and the still time. Plain C++.

namespace handsfree {

constexpr int ID_LIVE_OUTLINE = 1131;
constexpr int ID_AUTO_CAPTURE = 1132;
constexpr int ID_STILL_TIME = 1133;  // the menu; its items 1134.. choose the times below
constexpr int kStillTimesMs[] = {500, 800, 1200, 2000};
constexpr int ID_STILL_TIME_FIRST = 1134;
constexpr int kDefaultStillMs = 800;

struct Choices {
    bool live_outline = false;
    bool auto_capture = false;
    int still_ms = kDefaultStillMs;
};

// Stored values that are no longer offered read as the defaults.
Choices ReadChoices();
// False when the user's registry cannot be written (the choice then lasts for this run).
bool WriteChoices(const Choices& choices);

}  // namespace handsfree
