// Files and special folders.
#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files/folders.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch_folder.h"

using namespace platform;
using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::ScratchFolder;

TEST(Files, CopyNeverReplacesAnExistingFile) {
    ScratchFolder dir;
    std::string from = dir.Write("from.ini", "shipped");
    EXPECT_TRUE(CopyFileNoReplace(from, dir.Path("to.ini")));
    EXPECT_EQ(ReadAll(dir.Path("to.ini")), "shipped");
    dir.Write("to.ini", "user's");
    EXPECT_FALSE(CopyFileNoReplace(from, dir.Path("to.ini")));
    EXPECT_EQ(ReadAll(dir.Path("to.ini")), "user's");
    EXPECT_FALSE(CopyFileNoReplace(dir.Path("absent"), dir.Path("other")));
    EXPECT_FALSE(test_support::Exists(dir.Path("other")));
}

TEST(Files, AttributesTellFoldersFilesAndReadOnly) {
    ScratchFolder dir;
    std::string file = dir.Write("f", "x");
    auto folder = GetFileAttributes(dir.Root());
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->is_directory);
    auto attributes = GetFileAttributes(file);
    ASSERT_TRUE(attributes);
    EXPECT_FALSE(attributes->is_directory);
    EXPECT_FALSE(attributes->read_only);
    ::chmod(file.c_str(), 0444);
    EXPECT_TRUE(GetFileAttributes(file)->read_only);
    EXPECT_FALSE(GetFileAttributes(dir.Path("missing")));
}

TEST(Files, CreateFolderMakesOneLevelOnly) {
    ScratchFolder dir;
    EXPECT_TRUE(CreateFolder(dir.Path("a")));
    EXPECT_FALSE(CreateFolder(dir.Path("a"))) << "exists already";
    EXPECT_FALSE(CreateFolder(dir.Path("b/c")));
}

TEST(Files, ReplacingWriteSwapsContentsInOneStep) {
    ScratchFolder dir;
    std::string path = dir.Write("f", "old");
    EXPECT_TRUE(WriteFileReplacing(path, "new contents"));
    EXPECT_EQ(ReadAll(path), "new contents");
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(WriteFileReplacing(path, "lost?"));
    EXPECT_EQ(ReadAll(path), "new contents");
}

TEST(Files, ReplacingWriteGoesThroughASymbolicLink) {
    ScratchFolder dir;
    std::string target = dir.Write("real/settings.ini", "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_EQ(::symlink("real/settings.ini", dir.Path("link.ini").c_str()), 0);
    EXPECT_TRUE(WriteFileReplacing(dir.Path("link.ini"), "new"));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.Path("link.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a plain file";
    EXPECT_EQ(ReadAll(target), "new");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    ASSERT_EQ(::symlink("nowhere.ini", dir.Path("dangling.ini").c_str()), 0);
    EXPECT_FALSE(WriteFileReplacing(dir.Path("dangling.ini"), "new"));
    ASSERT_EQ(::lstat(dir.Path("dangling.ini").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST(Files, PathsJoinWithOneSeparator) {
    EXPECT_EQ(JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(WithTrailingSeparator("/"), "/");
    EXPECT_EQ(WithTrailingSeparator("/x"), "/x/");
    ScopedEnv tmp("TMPDIR", "/var/tmp");
    EXPECT_EQ(TempFolder(), "/var/tmp/");
}

TEST(Folders, OverridesWinAndAnEmptyOverrideMeansUnavailable) {
    ScopedEnv common("VELLUMO_COMMON_DOCUMENTS", "/srv/shared/");
    ScopedEnv documents("VELLUMO_USER_DOCUMENTS", "");
    ScopedEnv desktop("VELLUMO_DESKTOP", "/home/u/Desk");
    EXPECT_EQ(CommonDocumentsFolder().value_or("none"), "/srv/shared");
    EXPECT_FALSE(UserDocumentsFolder());
    EXPECT_EQ(DesktopFolder().value_or("none"), "/home/u/Desk");
}

TEST(Folders, UserFoldersFollowXdgThenHome) {
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv xdg_docs("XDG_DOCUMENTS_DIR", "/data/docs");
    ::unsetenv("VELLUMO_USER_DOCUMENTS");
    ::unsetenv("VELLUMO_DESKTOP");
    ::unsetenv("XDG_DESKTOP_DIR");
    ScopedEnv config("XDG_CONFIG_HOME", "/nonexistent/config");
    EXPECT_EQ(UserDocumentsFolder().value_or("none"), "/data/docs");
    EXPECT_EQ(DesktopFolder().value_or("none"), "/home/someone/Desktop");
}

TEST(Folders, DesktopSessionNamesFromUserDirsFile) {
    ScratchFolder dir;
    ScopedEnv home("HOME", dir.Root());
    ScopedEnv config("XDG_CONFIG_HOME", dir.Path("cfg"));
    ::unsetenv("VELLUMO_USER_DOCUMENTS");
    ::unsetenv("VELLUMO_DESKTOP");
    ::unsetenv("XDG_DESKTOP_DIR");
    ::unsetenv("XDG_DOCUMENTS_DIR");
    dir.Write("cfg/user-dirs.dirs",
              "# written by xdg-user-dirs-update\n"
              "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
              "XDG_DOCUMENTS_DIR=\"/srv/papers/\"\n"
              "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    EXPECT_EQ(DesktopFolder().value_or("none"), dir.Root() + "/Schreibtisch");
    EXPECT_EQ(UserDocumentsFolder().value_or("none"), "/srv/papers");

    dir.Write("cfg/user-dirs.dirs", "XDG_DESKTOP_DIR=relative/ignored\n");
    EXPECT_EQ(DesktopFolder().value_or("none"), dir.Root() + "/Desktop");
}

TEST(Folders, ConfigFolderIgnoresARelativeXdgConfigHome) {
    ScopedEnv home("HOME", "/home/someone");
    ScopedEnv registry("VELLUMO_REGISTRY_USER", "");
    {
        ScopedEnv config("XDG_CONFIG_HOME", "/etc/xdg-user/");
        EXPECT_EQ(UserConfigFolder().value_or("none"), "/etc/xdg-user");
    }
    ScopedEnv config("XDG_CONFIG_HOME", "relative/cfg");
    EXPECT_EQ(UserConfigFolder().value_or("none"), "/home/someone/.config");
    // The registry's user hive lives in the same folder.
    EXPECT_EQ(RegistryHivePath(RegistryHive::CurrentUser), "/home/someone/.config/Vellumo/registry.ini");
}
