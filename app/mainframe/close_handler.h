#pragma once
// What happens when the user closes the main window, before it goes: a running recording is stopped only
// after the user agrees (string 155), and changed settings are saved only when the user agrees
// (string 850). Both questions carry caption 133.

#include "app/mainframe/status_text.h"

class CVellumoSettings;

// Asks the questions through the prompt service. Returns false when the window must stay open.
// `stop_recording` is called when a running recording is to end; `save_allowed` false skips the save
// question (settings that can only be read).
bool RunCloseHandler(CVellumoSettings& settings, const StringLookup& strings, bool save_allowed,
                     const std::function<void()>& stop_recording);
