#pragma once
// The view's command table: every ribbon command of the program with its enable rule and its mark, over
// the settings record. The small setting commands are done here; camera controls, dialogs and the larger
// commands (capture, recording, OCR, cards) go through ViewCommandServices, which the application fills.
// A service that is not given leaves its command enabled by its rule but doing nothing except a debug line.
// Plain C++; GUI thread only.

#include <functional>
#include <map>
#include <string>

#include "app/commands/command_table.h"

class CVellumoSettings;

// The enable conditions of the table.
// Idle: no capture runs (settings a capture reads, whatever the camera does).
enum class EnableRule { Always, Idle, Ready, Live, Ocr, Card, Present, OcrPresent, CardPresent };
bool IsEnabled(EnableRule rule, const CVellumoSettings& s);

struct ViewCommandServices {
    // Camera controls on the video capture device.
    std::function<void(long)> set_brightness;
    std::function<void(long)> set_contrast;
    std::function<void()> set_focus_auto;
    std::function<long()> get_focus_position;
    std::function<void(long)> set_focus_position;
    // Reads the focus value and its flags (1 automatic, 2 manual); false when it cannot be read.
    std::function<bool(long* value, long* flags)> read_focus;
    std::function<void()> set_iris_auto;
    std::function<void(long)> set_iris_value;
    std::function<void(long)> set_backlight_compensation;
    // Bridge and sensor: the frequency mode's register changes, the direction change, a register write.
    std::function<void(int mode)> apply_frequency_mode;
    std::function<void()> apply_orientation_flip;
    std::function<void(unsigned address, unsigned width, unsigned value)> write_register;
    // The camera control link was opened (frequency changes are sent only then).
    std::function<bool()> control_open;
    std::function<void(const std::string& folder)> open_folder;
    // The status-bar text again.
    std::function<void()> refresh;
    // Resource strings (the record command's two captions).
    std::function<std::string(unsigned id)> strings;
    // Commands done elsewhere, by ID: 800, 844, 1043, 1030, 1021, 1069, 818, 1086, 1053 (its dialog, after
    // the exposure setting), 1025, 1013 (after the engine index). The save-folder dialog (805), the
    // property dialogs (846-848) and the preview sizes (1026-1028) add their own commands.
    std::map<int, std::function<void()>> handlers;
};

// Adds every command to the table. `settings` and the services must outlive the table's use.
void AddViewCommands(CommandTable& table, CVellumoSettings& settings, ViewCommandServices services);
