#pragma once
// The decisions of the save-folder dialog, free of the toolkit: which prefixes are accepted, and whether
// a folder picked in the browser can hold the captured files.

#include <string>

// Characters a file-name prefix may not hold: space \ / : * ? " < > |
constexpr const char* kForbiddenPrefixChars = " \\/:*?\"<>|";
// A prefix is at most this many characters long.
constexpr size_t kPrefixMaxChars = 19;
// The file created (and removed at once) to learn whether a folder is writable.
constexpr const char* kFolderProbeName = "ggyy7788.1234";

enum class PrefixVerdict {
    Accepted,   // the text becomes the prefix
    Forbidden,  // a forbidden character: tell the user and put the last accepted prefix back
    TooLong,    // cut to kPrefixMaxChars characters and put back (which is then accepted)
};

struct PrefixCheck {
    PrefixVerdict verdict = PrefixVerdict::Accepted;
    std::string text;  // what the edit shows afterwards and, once accepted, the prefix
};

// The check run on every change of the prefix edit. Texts are UTF-8; lengths count characters.
PrefixCheck CheckPrefix(const std::string& text, const std::string& last_accepted);

struct FolderChoice {
    bool usable = false;  // the browser may confirm it
    std::string path;     // symbolic links resolved, with one trailing '/'
};

// What choosing `path` in the browser means: its real location, and whether the program can create
// files there (the probe file is created and removed; an existing file of that name is never touched).
// A path longer than `max_bytes` cannot be stored in the settings and is not usable either.
FolderChoice ProbeFolder(const std::string& path, size_t max_bytes);
