#include "app/settingdlg/save_folder_rules.h"

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
    switch (platform::TryCreateAndRemove(folder + kFolderProbeName)) {
        case platform::CreateProbe::Created:
            return true;
        // Someone's own file of that name stays; the folder's permissions answer instead.
        case platform::CreateProbe::Exists:
            return platform::FolderWritable(folder);
        case platform::CreateProbe::Refused:
            return false;
    }
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
    auto real = platform::RealPath(path);
    if (!real) {
        platform::DebugLog("settingdlg", "cannot resolve %s", path.c_str());
        return choice;
    }
    choice.path = platform::WithTrailingSeparator(*real);
    auto attributes = platform::GetFileAttributes(choice.path);
    choice.usable = attributes && attributes->is_directory && choice.path.size() <= max_bytes &&
                    CanCreateFilesIn(choice.path);
    return choice;
}
