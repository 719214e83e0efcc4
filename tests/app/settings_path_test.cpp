// Where the working settings file lives and when the shipped file is copied.
#include "app/application/settings_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/scratch_folder.h"

using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::ScratchFolder;

namespace {

struct Machine {
    ScratchFolder dir;
    std::string program = dir.MakeFolder("program");
    ScopedEnv common{"VELLUMO_COMMON_DOCUMENTS", dir.MakeFolder("shared")};
    ScopedEnv documents{"VELLUMO_USER_DOCUMENTS", dir.Path("home/Documents")};
    ScopedEnv home{"HOME", dir.MakeFolder("home")};
    ScopedEnv config{"XDG_CONFIG_HOME", dir.Path("home/.config")};

    void Ship(const std::string& contents) { dir.Write("program/Vellumo.ini", contents); }
};

}  // namespace

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

}  // namespace

TEST(SettingsPath, FreshInstallCopiesTheShippedFileIntoAFolderOpenToEveryone) {
    Machine m;
    m.Ship("[Vellumo]\nModule=Vellumo Data\nPREFIX=Doc\n");
    mode_t old_mask = ::umask(022);
    SettingsLocation location = SettleSettingsPath(m.program);
    ::umask(old_mask);
    EXPECT_EQ(location.working_path, m.dir.Path("shared/Vellumo Data/Vellumo.ini"));
    EXPECT_FALSE(location.fallback);
    EXPECT_EQ(ReadAll(location.working_path), "[Vellumo]\nModule=Vellumo Data\nPREFIX=Doc\n");
    EXPECT_EQ(ModeOf(m.dir.Path("shared/Vellumo Data")), 0777u);
    EXPECT_EQ(ModeOf(location.working_path), 0666u) << "another user's save must not be refused";
}

TEST(SettingsPath, AnOwnSharedFileClosedToOthersIsOpenedButAReadOnlyOneStays) {
    Machine m;
    m.Ship("[Vellumo]\nModule=V\n");
    std::string file = m.dir.Write("shared/V/Vellumo.ini", "[Vellumo]\n");
    ::chmod(file.c_str(), 0644);  // as the first user's umask left it
    SettleSettingsPath(m.program);
    EXPECT_EQ(ModeOf(file), 0666u);
    ::chmod(file.c_str(), 0444);
    SettleSettingsPath(m.program);
    EXPECT_EQ(ModeOf(file), 0444u);
}

TEST(SettingsPath, AnExistingWorkingFileIsNeverOverwritten) {
    Machine m;
    m.Ship("[Vellumo]\nModule=V\nPREFIX=shipped\n");
    m.dir.Write("shared/V/Vellumo.ini", "[VELLUMO]\nPREFIX=saved by a user\n");
    SettingsLocation location = SettleSettingsPath(m.program);
    EXPECT_EQ(ReadAll(location.working_path), "[VELLUMO]\nPREFIX=saved by a user\n");
}

TEST(SettingsPath, WithoutCommonDocumentsTheUserDocumentsAreShared) {
    Machine m;
    ScopedEnv no_common("VELLUMO_COMMON_DOCUMENTS", "");
    m.dir.MakeFolder("home/Documents");
    m.Ship("[Vellumo]\nModule=V\n");
    EXPECT_EQ(SettleSettingsPath(m.program).working_path, m.dir.Path("home/Documents/V/Vellumo.ini"));
}

TEST(SettingsPath, NoModuleFallsBackToTheUserDocuments) {
    Machine m;
    m.Ship("[Vellumo]\nPREFIX=x\n");
    SettingsLocation location = SettleSettingsPath(m.program);
    EXPECT_TRUE(location.fallback);
    EXPECT_EQ(location.working_path, m.dir.Path("home/Documents/Vellumo/Vellumo.ini"));
    EXPECT_EQ(ReadAll(location.working_path), "[Vellumo]\nPREFIX=x\n");
}

TEST(SettingsPath, AnUnusableSharedFolderFallsBackInsteadOfReadingFromNowhere) {
    Machine m;
    m.Ship("[Vellumo]\nModule=V\n");
    m.dir.Write("shared/V", "a file where the folder should be");
    SettingsLocation location = SettleSettingsPath(m.program);
    EXPECT_TRUE(location.fallback);
    EXPECT_EQ(location.working_path, m.dir.Path("home/Documents/V/Vellumo.ini"));
    EXPECT_TRUE(test_support::Exists(location.working_path));
}

TEST(SettingsPath, NoDocumentsAtAllUsesTheConfigurationFolder) {
    Machine m;
    ScopedEnv no_common("VELLUMO_COMMON_DOCUMENTS", "");
    ScopedEnv no_documents("VELLUMO_USER_DOCUMENTS", "");
    m.Ship("[Vellumo]\nModule=V\n");
    SettingsLocation location = SettleSettingsPath(m.program);
    EXPECT_EQ(location.working_path, m.dir.Path("home/.config/Vellumo/Vellumo.ini"));
    EXPECT_FALSE(location.read_only);
}

TEST(SettingsPath, MissingShippedFileStillGivesAWritablePlace) {
    Machine m;
    SettingsLocation location = SettleSettingsPath(m.program);
    EXPECT_TRUE(location.fallback) << "no Module without a shipped file";
    EXPECT_FALSE(location.read_only);
    EXPECT_FALSE(location.working_path.empty());
}
