#pragma once
// The special folders the program asks for, mapped to Linux places. Each can be overridden by an
// environment variable (tests use this so they never touch the real home or /var/lib); an override
// set to the empty string means "this folder is not available".
//
//   common documents  VELLUMO_COMMON_DOCUMENTS, else /var/lib when writable, else none
//   user documents    VELLUMO_USER_DOCUMENTS, else XDG_DOCUMENTS_DIR, else ~/Documents
//   desktop           VELLUMO_DESKTOP, else XDG_DESKTOP_DIR, else ~/Desktop
//
//   user config       XDG_CONFIG_HOME when it is an absolute path, else ~/.config
//
// XDG_DOCUMENTS_DIR and XDG_DESKTOP_DIR are looked up in the environment, then in the session's
// user-dirs.dirs (in the user config folder), where a localised desktop records its own names.
// The home folder is HOME, else the account's home; without either the user folders are not available.
//
// Results carry no trailing '/'. The folders are not created.

#include <optional>
#include <string>

namespace platform {

std::optional<std::string> CommonDocumentsFolder();
std::optional<std::string> UserDocumentsFolder();
std::optional<std::string> DesktopFolder();
std::optional<std::string> UserConfigFolder();

// "<temp folder><name>-<user id>": a folder of the caller's own in the shared temp folder.
std::string PerUserTempFolder(const std::string& name);

}  // namespace platform
