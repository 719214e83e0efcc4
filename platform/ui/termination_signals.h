#pragma once
// SIGTERM and SIGINT (a logout, `kill`, Ctrl+C in a terminal) end the program the orderly way instead of
// at once: `on_signal` runs on the GUI thread, from its event loop, so a recording is finished and the
// pages gathered so far stay on disk. A second signal while the first is handled ends the program.

#include <functional>

namespace platform {

// Call once on the GUI thread, after the QApplication exists.
void WatchTerminationSignals(std::function<void(int signal)> on_signal);

}  // namespace platform
