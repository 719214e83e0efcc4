// Loading libraries from the program folder, and starting other programs.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/library/library.h"
#include "platform/process/process.h"
#include "tests/support/scratch_folder.h"

using namespace platform;
using test_support::ReadAll;
using test_support::ScopedEnv;
using test_support::ScratchFolder;

TEST(Library, LoadsByNameFromAFolderAndFindsExports) {
    Library resources = Library::LoadFrom(VELLUMO_BIN_DIR, "VellumoRes.dll");
    ASSERT_TRUE(resources) << resources.Error();
    EXPECT_NE(resources.Symbol("VellumoRes_LoadString"), nullptr);
    EXPECT_EQ(resources.Symbol("NoSuchExport"), nullptr);
}

TEST(Library, MissingOrCorruptFilesDoNotLoad) {
    ScratchFolder dir;
    EXPECT_FALSE(Library::LoadFrom(dir.Root(), "VellumoRes.dll"));
    dir.Write("VellumoRes.dll", "MZ this is not a library");
    Library corrupt = Library::LoadFrom(dir.Root(), "VellumoRes.dll");
    EXPECT_FALSE(corrupt);
    EXPECT_FALSE(corrupt.Error().empty());
    EXPECT_EQ(corrupt.Symbol("anything"), nullptr);
}

TEST(Process, RunsAndReportsTheExitCode) {
    EXPECT_EQ(RunAndWait({"sh", "-c", "exit 3"}).value_or(-1), 3);
    EXPECT_FALSE(RunAndWait({"/nonexistent/program"}));
    EXPECT_FALSE(RunAndWait({}));
}

TEST(Process, OpenWithDesktopHandsThePathToTheHandler) {
    ScratchFolder dir;
    std::string handler = dir.Write("opener.sh",
                                    "#!/bin/sh\n"
                                    "printf '%s' \"$1\" > \"$(dirname \"$0\")/opening\"\n"
                                    "mv \"$(dirname \"$0\")/opening\" \"$(dirname \"$0\")/opened\"\n");
    ::chmod(handler.c_str(), 0755);
    // The handler writes under another name and renames, so the file is never seen half written.
    ScopedEnv opener("VELLUMO_OPENER", handler);
    ASSERT_TRUE(OpenWithDesktop("/some folder/with spaces"));
    for (int i = 0; i < 200 && !test_support::Exists(dir.Path("opened")); ++i) ::usleep(10 * 1000);
    EXPECT_EQ(ReadAll(dir.Path("opened")), "/some folder/with spaces");
}

TEST(Process, ExecutableProgramsAreElfOrScriptsWithTheExecuteBit) {
    ScratchFolder dir;
    std::string script = dir.Write("tool.sh", "#!/bin/sh\n");
    std::string text = dir.Write("notes.txt", "hello");
    ::chmod(script.c_str(), 0755);
    ::chmod(text.c_str(), 0755);
    EXPECT_TRUE(IsExecutableProgram("/bin/sh"));
    EXPECT_TRUE(IsExecutableProgram(script));
    EXPECT_FALSE(IsExecutableProgram(text)) << "execute bit alone is not enough";
    EXPECT_FALSE(IsExecutableProgram(dir.Root()));
    EXPECT_FALSE(IsExecutableProgram(dir.Path("missing")));
}
