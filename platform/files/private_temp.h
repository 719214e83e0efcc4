#pragma once
// The program's own folder for temporary files: the capture picture, card pictures, page pictures
// waiting for their document, the lists handed to other programs. It belongs to the user alone (mode
// 0700): $XDG_RUNTIME_DIR/Vellumo, else $XDG_CACHE_HOME/Vellumo (~/.cache/Vellumo), so another user of
// the machine can neither read the pictures nor plant a file or a link under one of our fixed names.
// Files in it are made new (O_EXCL) and never written through a symbolic link; they are not synced to
// disk, since they are scratch copies (saved files are).

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/files/file_result.h"

namespace platform {

// The folder with its trailing '/', made when missing. Nothing when it cannot be had safely: it could
// not be made, or the name is taken by a link, a file, or a folder of another user.
std::optional<std::string> PrivateTempFolder();

// `path` names an entry directly inside the private folder (no "..", no sub-folder). The only paths
// the program deletes from a list it reads back.
bool InPrivateTempFolder(const std::string& path);

// Replaces (or creates) `path` inside the private folder in one step: a new file beside it, renamed
// over the name, so a link planted under the name is replaced, never followed. Mode 0600, no sync.
// On failure nothing is left under the name, and the result says why.
FileResult WritePrivateFile(const std::string& path, std::span<const std::string_view> parts);

// Appends to a file of the private folder, creating it (0600) when missing; a link is refused.
bool AppendPrivateFile(const std::string& path, std::string_view text);

// A new empty file of a unique name in the private folder: the first three characters of `prefix`, a
// unique part and `suffix`. Nothing when it cannot be made.
std::optional<std::string> CreateUniquePrivateFile(const std::string& prefix,
                                                   const std::string& suffix = ".tmp");

}  // namespace platform
