#include "app/settingdlg/save_folder_rules.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/scratch_folder.h"

namespace {

using test_support::ScratchFolder;

TEST(PrefixRules, ForbiddenCharactersRestoreTheLastPrefix) {
    for (char c : std::string(kForbiddenPrefixChars)) {
        PrefixCheck check = CheckPrefix(std::string("ab") + c, "ab");
        EXPECT_EQ(check.verdict, PrefixVerdict::Forbidden) << c;
        EXPECT_EQ(check.text, "ab");
    }
    EXPECT_EQ(std::string(kForbiddenPrefixChars).size(), 10u);
    for (const char* fine : {"", "IMG", "Scan-2024_01", "a.b", "x'y", "\xC3\xA9t\xC3\xA9"}) {
        PrefixCheck check = CheckPrefix(fine, "old");
        EXPECT_EQ(check.verdict, PrefixVerdict::Accepted) << fine;
        EXPECT_EQ(check.text, fine);
    }
}

TEST(PrefixRules, LongPrefixesAreCutToNineteenCharacters) {
    EXPECT_EQ(CheckPrefix(std::string(19, 'x'), "").verdict, PrefixVerdict::Accepted);
    PrefixCheck twenty = CheckPrefix(std::string(20, 'x'), std::string(19, 'x'));
    EXPECT_EQ(twenty.verdict, PrefixVerdict::TooLong);
    EXPECT_EQ(twenty.text, std::string(19, 'x'));
    EXPECT_EQ(CheckPrefix(twenty.text, "").verdict, PrefixVerdict::Accepted);

    // Characters, not bytes: nineteen two-byte letters fit; a cut never splits a letter.
    std::string e_acute = "\xC3\xA9";
    std::string nineteen, pasted;
    for (int i = 0; i < 19; ++i) nineteen += e_acute;
    pasted = nineteen + e_acute + e_acute;
    EXPECT_EQ(CheckPrefix(nineteen, "").verdict, PrefixVerdict::Accepted);
    PrefixCheck cut = CheckPrefix(pasted, "");
    EXPECT_EQ(cut.verdict, PrefixVerdict::TooLong);
    EXPECT_EQ(cut.text, nineteen);
}

TEST(FolderProbe, WritableFoldersAreUsableAndKeepNoProbeFile) {
    ScratchFolder folder;
    FolderChoice choice = ProbeFolder(folder.Root(), 259);
    EXPECT_TRUE(choice.usable);
    EXPECT_EQ(choice.path, std::filesystem::canonical(folder.Root()).string() + "/");
    EXPECT_FALSE(test_support::Exists(folder.Path(kFolderProbeName)));

    // A path that already ends in '/' does not get a second one.
    EXPECT_EQ(ProbeFolder(folder.Slash(), 259).path, choice.path);
    EXPECT_EQ(ProbeFolder("/", 259).path, "/");

    // A file of the probe's name that was there before stays as it was.
    folder.Write(kFolderProbeName, "somebody's data");
    EXPECT_TRUE(ProbeFolder(folder.Root(), 259).usable);
    EXPECT_EQ(test_support::ReadAll(folder.Path(kFolderProbeName)), "somebody's data");
}

TEST(FolderProbe, LinksLeadToTheirTargets) {
    ScratchFolder folder;
    std::string target = folder.MakeFolder("real/scans");
    std::filesystem::create_directory_symlink(target, folder.Path("shortcut"));
    FolderChoice choice = ProbeFolder(folder.Path("shortcut"), 259);
    EXPECT_TRUE(choice.usable);
    EXPECT_EQ(choice.path, std::filesystem::canonical(target).string() + "/");
}

TEST(FolderProbe, FoldersThatCannotHoldFilesAreRefused) {
    ScratchFolder folder;
    EXPECT_FALSE(ProbeFolder("", 259).usable);
    EXPECT_FALSE(ProbeFolder(folder.Path("missing"), 259).usable);
    folder.Touch("plain-file");
    EXPECT_FALSE(ProbeFolder(folder.Path("plain-file"), 259).usable);
    // Read-only for everyone, the superuser included.
    EXPECT_FALSE(ProbeFolder("/proc", 259).usable);
    EXPECT_FALSE(test_support::Exists(std::string("/proc/") + kFolderProbeName));
    // Too long to be stored in the settings.
    EXPECT_FALSE(ProbeFolder(folder.Root(), folder.Root().size() - 1).usable);

    std::string locked = folder.MakeFolder("locked");
    ::chmod(locked.c_str(), 0555);
    if (::access(locked.c_str(), W_OK) != 0) {  // the superuser may write anyway
        EXPECT_FALSE(ProbeFolder(locked, 259).usable);
    }
}

}  // namespace
