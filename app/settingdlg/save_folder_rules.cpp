#include "app/settingdlg/save_folder_rules.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/debuglog/debuglog.h"
#include "platform/files/files.h"

namespace {

// Byte offset where character `count` of a UTF-8 text starts (the text's size when it is shorter).
size_t Utf8Prefix(const std::string& text, size_t count) {
    size_t at = 0;
    for (size_t chars = 0; at < text.size() && chars < count; ++chars) {
        ++at;
        while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) ++at;
    }
    return at;
}

bool CanCreateFilesIn(const std::string& folder) {
    const std::string probe = folder + kFolderProbeName;
    int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        ::unlink(probe.c_str());
        return true;
    }
    // Someone's own file of that name stays; the folder's permissions answer instead.
    if (errno == EEXIST) return ::access(folder.c_str(), W_OK | X_OK) == 0;
    return false;
}

}  // namespace

PrefixCheck CheckPrefix(const std::string& text, const std::string& last_accepted) {
    if (text.find_first_of(kForbiddenPrefixChars) != std::string::npos)
        return {PrefixVerdict::Forbidden, last_accepted};
    size_t cut = Utf8Prefix(text, kPrefixMaxChars);
    if (cut == text.size()) return {PrefixVerdict::Accepted, text};
    return {PrefixVerdict::TooLong, text.substr(0, cut)};
}

FolderChoice ProbeFolder(const std::string& path, size_t max_bytes) {
    FolderChoice choice;
    if (path.empty()) return choice;
    std::unique_ptr<char, decltype(&::free)> real(::realpath(path.c_str(), nullptr), &::free);
    if (!real) {
        platform::DebugLog("settingdlg", "cannot resolve %s (errno %d)", path.c_str(), errno);
        return choice;
    }
    choice.path = platform::WithTrailingSeparator(real.get());
    auto attributes = platform::GetFileAttributes(choice.path);
    choice.usable = attributes && attributes->is_directory && choice.path.size() <= max_bytes &&
                    CanCreateFilesIn(choice.path);
    return choice;
}
