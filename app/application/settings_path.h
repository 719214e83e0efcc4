#pragma once
// Where the settings file lives. The shipped "Vellumo.ini" beside the program is never written; the
// working copy lives in <shared documents>/<Module>/Vellumo.ini, copied from the shipped file the first
// time and never overwritten afterwards; folder and file may be written by every user of the machine.

#include <string>

constexpr const char* kSettingsFileName = "Vellumo.ini";

struct SettingsLocation {
    std::string shipped_path;  // <program folder>/Vellumo.ini
    std::string working_path;  // the file every load, compare and save uses
    bool fallback = false;     // the shared place could not be used; see SettleSettingsPath
    bool read_only = false;    // working_path is the shipped file: load it, never save to it
};

// Settles the working path, creating its folder and copying the shipped file when they are missing.
// The shared documents folder is the common documents folder, else the user's documents folder; <Module>
// is the "Module" value of the shipped file (section "Vellumo", at most 59 characters).
// When that gives no usable place (no documents folder, no Module, or a folder that cannot be written),
// the working copy goes to <user documents>/<Module or "Vellumo">, and failing that to the user's
// configuration folder, then a folder in the temp folder, so a run never reads its settings from nowhere.
// Only when none of those can be written does it hand back the shipped file, marked read-only.
SettingsLocation SettleSettingsPath(const std::string& program_folder);
