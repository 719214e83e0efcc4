#pragma once
// Private-profile (INI) files with the semantics Windows gives them, which the settings store and
// the registry hives rely on:
//  - section and key names match without regard to case; the first of duplicated sections or keys wins;
//  - white space around names and values is ignored; a value wrapped in matching double or single
//    quotes loses them;
//  - LF, CR LF and CR line ends all read;
//  - a read copies at most size-1 bytes and always terminates the buffer; a missing file, section or
//    key gives the default with its trailing spaces removed;
//  - a write creates the file and the section when missing, appends a new key at the end of its
//    section and a new section at the end of the file, writes "key=value" lines ending in CR LF and
//    leaves every other line of the file byte for byte as it was. The new file replaces the old one
//    in one step, so a failed write never loses the old file; a read-only file is not written, and
//    neither is a file that is there but cannot be read.
// No call throws; none keeps the file open.

#include <cstddef>
#include <string>

namespace platform {

// Copies the value (or the default) into buffer, at most size-1 bytes, always terminated when size > 0.
// Returns the number of bytes copied, not counting the terminator.
size_t GetPrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& default_value, char* buffer, size_t size,
                               const std::string& path);

// The same read into a string of at most size-1 bytes.
std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& default_value = "", size_t size = 260);

// Writes key=value into the section. CR and LF in key or value are dropped so a value can never
// break the file's line structure. False when the file cannot be written.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path);

// Removes a key from its section (the first match). True when the key is gone afterwards.
bool DeletePrivateProfileKey(const std::string& section, const std::string& key, const std::string& path);

}  // namespace platform
