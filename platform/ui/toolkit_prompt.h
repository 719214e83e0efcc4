#pragma once
// Message boxes shown with the toolkit: installs the presenter that MessageBox uses when no test presenter
// is set. The box always runs on the GUI thread. A caller on another thread asks through the window's
// message target and waits for the answer; once the window is closed (or when there is none) it gets
// Cancel at once (OK for a box with OK alone), so no thread is left waiting on a window that is gone.

namespace platform {

class MessageTarget;

// Call once, after the QApplication exists. `window` is the main window's message target (may be set
// later with SetPromptWindow).
void InstallToolkitPrompts(MessageTarget* window = nullptr);
void SetPromptWindow(MessageTarget* window);

}  // namespace platform
