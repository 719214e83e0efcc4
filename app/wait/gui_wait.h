#pragma once
// Waits on the GUI thread that keep the window alive: the event loop runs (painting, timers, the live
// picture) while the caller waits, instead of the thread sleeping. The caller's own commands must be
// disabled meanwhile (the busy flag does that), since other events are handled during the wait.

#include <functional>

// Waits `duration_ms`.
void WaitPainting(int duration_ms);

// Asks `done` at once and then every `interval_ms` until it answers true or `bound_ms` has passed;
// true when it answered true.
bool PollPainting(const std::function<bool()>& done, int interval_ms, int bound_ms);
