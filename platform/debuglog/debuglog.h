#pragma once
// Debug log for details a user never sees (errno, ioctl names, discovery lines).
// Written to stderr with a subsystem prefix when VELLUMO_DEBUG is set to a non-empty value other than "0".
// Thread-safe: each call writes one whole line.

namespace platform {

bool DebugLogEnabled();

// printf-style; a newline is appended.
void DebugLog(const char* subsystem, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace platform
