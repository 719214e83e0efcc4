#pragma once
// Reading the kernel's sysfs tree: its root (VELLUMO_SYSFS_ROOT, else "/sys", looked up at each call, so
// tests and other programs can point it at a fixture), attribute files and numbered entries.
// Standard library and libc only: the device-probe library compiles this file too.
// No state; safe from any thread while nobody changes the environment.

#include <optional>
#include <string>
#include <vector>

namespace platform {

std::string SysfsRoot();

// An attribute's text without its trailing newlines, blanks and NULs; nothing when it cannot be read.
std::optional<std::string> ReadSysfsAttribute(const std::string& path);

// An attribute holding one hexadecimal number ("eb1a"); nothing when unreadable, empty or not all hex.
std::optional<unsigned long> ReadSysfsHexAttribute(const std::string& path);

// Names of a folder's entries that start with prefix and go on, sorted by the number after the prefix
// ("video2" before "video10"). Empty when the folder cannot be read.
std::vector<std::string> NumberedSysfsEntries(const std::string& folder, const std::string& prefix);

// The path with every symbolic link resolved; nothing when some part of it is missing.
std::optional<std::string> ResolvedSysfsPath(const std::string& path);

// Joins a folder and a name with one '/'.
std::string SysfsJoin(const std::string& folder, const std::string& name);

}  // namespace platform
