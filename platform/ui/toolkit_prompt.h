#pragma once
// Message boxes shown with the toolkit: installs the presenter that MessageBox uses when no test presenter
// is set. The box always runs on the GUI thread; a caller on another thread waits for the answer.

namespace platform {

// Call once, after the QApplication exists.
void InstallToolkitPrompts();

}  // namespace platform
