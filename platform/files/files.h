#pragma once
// File and folder primitives with the meanings the program's Parts rely on.
// Paths use '/' as separator. None of these throw.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/owned_handles.h"

namespace platform {

struct FileAttributes {
    bool is_directory = false;
    bool read_only = false;  // the caller cannot write it, or it has no write permission bit at all
};

// Attributes of an existing path, nothing when it does not exist (or cannot be examined).
std::optional<FileAttributes> GetFileAttributes(const std::string& path);

// Creates one folder (its parent must exist). False when it exists already or cannot be made.
bool CreateFolder(const std::string& path);

// Creates every missing folder along `path`, from the left; failures are ignored (a later write into the
// folder reports them).
void CreateFolderChain(const std::string& path);

// Copies a file only when the target does not exist yet (fail-if-exists). The copy is written
// under a temporary name and moved into place, so a failure never leaves a partial target.
bool CopyFileNoReplace(const std::string& from, const std::string& to);

// Moves a file to a name that no file has yet, never replacing one. Across file systems the file is copied
// (on disk before it takes the name) and the source removed. False when the name is taken or the move
// failed; the source is then where it was.
bool MoveFileNoReplace(const std::string& from, const std::string& to);

// Gives a file the mode a new file of the user gets (0666 less the umask).
bool SetDefaultFileMode(const std::string& path);

// A new empty file (mode 0600) named `stem` and a unique part in `folder` (with its trailing '/').
std::optional<std::string> CreateUniqueFileIn(const std::string& folder, const std::string& stem);

// Flushes a written file to disk; false on an error (a full disk shows here at the latest).
bool SyncFile(const std::string& path);

bool DeleteFile(const std::string& path);

// The whole file, nothing when it cannot be read.
std::optional<std::string> ReadFile(const std::string& path);

// What a rewrite of the file starts from: the whole file, an empty text when there is no file of that
// name yet, and nothing when a file is there but cannot be read (write-only, a read error): rewriting
// that from nothing would lose every line of it.
std::optional<std::string> ReadFileForRewrite(const std::string& path);

// A regular file opened for reading from its start.
class InputFile {
  public:
    // Nothing when the file is missing, cannot be opened or is not a regular file.
    static std::optional<InputFile> Open(const std::string& path);
    uint64_t size() const { return size_; }
    // Fills `data` with the next `size` bytes; false on a read error or when the file ends first.
    bool ReadExactly(uint8_t* data, size_t size);

  private:
    InputFile(UniqueFd fd, uint64_t size) : fd_(std::move(fd)), size_(size) {}
    UniqueFd fd_;
    uint64_t size_ = 0;
};

// The names in a folder (without "." and ".."), in no particular order; nothing when it cannot be listed.
std::optional<std::vector<std::string>> FolderEntries(const std::string& folder);

// The absolute path with every symbolic link, "." and ".." resolved; nothing when it does not exist.
std::optional<std::string> RealPath(const std::string& path);

// The caller's permissions let it create and remove entries in the folder.
bool FolderWritable(const std::string& folder);

enum class CreateProbe {
    Created,  // the file could be made (and is gone again)
    Exists,   // something of that name is there already and was left alone
    Refused,  // the file cannot be made there
};
// Creates `path` as a new file and removes it again at once: whether files can really be made there
// (read-only mounts and process file systems refuse even the superuser).
CreateProbe TryCreateAndRemove(const std::string& path);

// Replaces (or creates) the file in one step: the contents go to a temporary file in the same folder,
// which is then renamed over the target, keeping the old file's permission bits. An existing file the
// caller may not write is refused. On failure the old file is left exactly as it was.
// A symbolic link is written through: the file it leads to is replaced and the link stays; a link that
// leads nowhere is refused.
bool WriteFileReplacing(const std::string& path, const std::string& contents);

// The same, with the contents given as consecutive parts (written in order, never joined in memory).
bool WriteFileReplacingParts(const std::string& path, std::span<const std::string_view> parts);

// Opens the folder to every user (mode 0777, ignoring the umask): the stand-in for a folder
// carrying no access restriction.
bool OpenFolderToEveryone(const std::string& path);

// Lets every user read and write a regular file the caller owns (adds mode 0666, ignoring the umask).
// A file without an owner write bit was made read-only on purpose and stays so; so do symbolic links
// and other users' files. True when the file is open to everyone afterwards.
bool OpenFileToEveryone(const std::string& path);

// The temp folder ($TMPDIR or /tmp) with its trailing '/'.
std::string TempFolder();

// Creates a new empty file of a unique name in the temp folder: the first three characters of
// `prefix`, a unique part, ".tmp" (the stand-in for GetTempFileName). Nothing when it cannot be made.
std::optional<std::string> CreateUniqueTempFile(const std::string& prefix);

// The process's current folder, "." when it cannot be told.
std::string CurrentFolder();

// The folder of the program's own files (its libraries and helper programs), without trailing '/': the
// folder holding the running program (from /proc/self/exe) where it was built, or the private folder
// lib/vellumo beside the bin folder of an installed program.
std::string ProgramFolder();

// The folder of the program's shipped data (settings file, help page): the program folder where it was
// built, share/vellumo beside the bin folder of an installed program.
std::string DataFolder();

// Joins a folder and a name with exactly one '/' between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// Appends '/' unless the path already ends in one.
std::string WithTrailingSeparator(const std::string& path);

}  // namespace platform
