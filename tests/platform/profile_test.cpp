// Private-profile files: the Windows semantics the settings store and the registry hives depend on.
#include "platform/profile/profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/scratch_folder.h"

using platform::DeletePrivateProfileKey;
using platform::GetPrivateProfileString;
using platform::ReadProfileString;
using platform::WritePrivateProfileString;
using test_support::ReadAll;
using test_support::ScratchFolder;

TEST(Profile, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini",
                                "[Vellumo]\r\n"
                                "  Module =  Vellumo Docs  \r\n"
                                "Double=\"  spaced  \"\r\n"
                                "Single='x'\r\n"
                                "Mixed=\"x'\r\n"
                                "Lone=\"\r\n");
    EXPECT_EQ(ReadProfileString(ini, "VELLUMO", "module"), "Vellumo Docs");
    EXPECT_EQ(ReadProfileString(ini, " vellumo ", "MODULE"), "Vellumo Docs");
    EXPECT_EQ(ReadProfileString(ini, "Vellumo", "Double"), "  spaced  ");
    EXPECT_EQ(ReadProfileString(ini, "Vellumo", "Single"), "x");
    EXPECT_EQ(ReadProfileString(ini, "Vellumo", "Mixed"), "\"x'");  // quotes must match to be removed
    EXPECT_EQ(ReadProfileString(ini, "Vellumo", "Lone"), "\"");
}

TEST(Profile, EveryLineEndingReads) {
    ScratchFolder dir;
    for (const char* eol : {"\n", "\r\n", "\r"}) {
        std::string e = eol;
        std::string ini = dir.Write("eol.ini", "[A]" + e + "one=1" + e + "[B]" + e + "two=2" + e + "last=3");
        EXPECT_EQ(ReadProfileString(ini, "A", "one"), "1");
        EXPECT_EQ(ReadProfileString(ini, "B", "two"), "2");
        EXPECT_EQ(ReadProfileString(ini, "B", "last"), "3");
        EXPECT_EQ(ReadProfileString(ini, "A", "two"), "") << "keys belong to their own section only";
    }
}

TEST(Profile, ReadCopiesAtMostSizeMinusOneAndTerminates) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini", "[S]\nk=abcdefgh\n");
    char buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), 'Z');
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", buffer, 5, ini), 4u);
    EXPECT_STREQ(buffer, "abcd");
    EXPECT_EQ(buffer[5], 'Z') << "nothing written past the given size";
    EXPECT_EQ(GetPrivateProfileString("S", "k", "", buffer, 1, ini), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(GetPrivateProfileString("S", "missing", "default", buffer, 4, ini), 3u);
    EXPECT_STREQ(buffer, "def");
}

TEST(Profile, MissingFileSectionOrKeyGivesTheDefaultWithoutTrailingSpaces) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini", "[S]\nk=v\n");
    EXPECT_EQ(ReadProfileString(dir.Path("none.ini"), "S", "k", "128  "), "128");
    EXPECT_EQ(ReadProfileString(ini, "T", "k", " x "), " x");
    EXPECT_EQ(ReadProfileString(ini, "S", "j"), "");
}

TEST(Profile, FirstOfDuplicatedSectionsAndKeysWins) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini", "[S]\nk=first\nk=second\n[s]\nk=third\nonly=in second\n");
    EXPECT_EQ(ReadProfileString(ini, "S", "k"), "first");
    EXPECT_EQ(ReadProfileString(ini, "S", "only"), "") << "a duplicated section is not merged";
}

TEST(Profile, GarbageBinaryAndOverlongLinesReadSafely) {
    ScratchFolder dir;
    std::string junk = "\x01\x02garbage without structure\n[[[\n=\n==\n]\n";
    junk += std::string("\0\xff\xfe", 3) + "\n";
    junk += "[S]\nlong=" + std::string(5000, 'x') + "\nafter=ok\n";
    std::string ini = dir.Write("junk.ini", junk);
    EXPECT_EQ(ReadProfileString(ini, "S", "long").size(), 259u);
    EXPECT_EQ(ReadProfileString(ini, "S", "after"), "ok");
}

TEST(Profile, WriteCreatesFileAndSectionWithCrLfLines) {
    ScratchFolder dir;
    std::string ini = dir.Path("new.ini");
    ASSERT_TRUE(WritePrivateProfileString("VELLUMO", "SAVEPATH", "/home/a/", ini));
    ASSERT_TRUE(WritePrivateProfileString("OCR", "Format", "4", ini));
    EXPECT_EQ(ReadAll(ini), "[VELLUMO]\r\nSAVEPATH=/home/a/\r\n[OCR]\r\nFormat=4\r\n");
}

TEST(Profile, WriteAppendsAtSectionEndAndLeavesEveryOtherLineAsItWas) {
    ScratchFolder dir;
    std::string before = "; comment\n[A]\nx = 1\n\n[B]\ny=2\r\nz=3\n\n";
    std::string ini = dir.Write("a.ini", before);
    ASSERT_TRUE(WritePrivateProfileString("a", "new", "v", ini));
    EXPECT_EQ(ReadAll(ini), "; comment\n[A]\nx = 1\nnew=v\r\n\n[B]\ny=2\r\nz=3\n\n");
    ASSERT_TRUE(WritePrivateProfileString("B", "Y", "20", ini));
    EXPECT_EQ(ReadAll(ini), "; comment\n[A]\nx = 1\nnew=v\r\n\n[B]\nY=20\r\nz=3\n\n");
    ASSERT_TRUE(WritePrivateProfileString("B", "z", "30", ini));
    EXPECT_EQ(ReadAll(ini), "; comment\n[A]\nx = 1\nnew=v\r\n\n[B]\nY=20\r\nz=30\r\n\n")
        << "a rewritten key ends in CR LF";
}

TEST(Profile, WriteToAFileWithoutLastLineEndKeepsLinesApart) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini", "[A]\nx=1");
    ASSERT_TRUE(WritePrivateProfileString("A", "y", "2", ini));
    ASSERT_TRUE(WritePrivateProfileString("C", "z", "3", ini));
    EXPECT_EQ(ReadAll(ini), "[A]\nx=1\r\ny=2\r\n[C]\r\nz=3\r\n");
}

TEST(Profile, ValuesCannotBreakTheLineStructure) {
    ScratchFolder dir;
    std::string ini = dir.Path("a.ini");
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "one\r\n[B]\r\nevil=1", ini));
    EXPECT_EQ(ReadProfileString(ini, "B", "evil"), "");
    EXPECT_EQ(ReadProfileString(ini, "A", "k"), "one[B]evil=1");
}

TEST(Profile, ReadOnlyFileOrMissingFolderFailsAndKeepsTheOldFile) {
    ScratchFolder dir;
    std::string ini = dir.Write("ro.ini", "[A]\nk=old\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "new", ini));
    EXPECT_EQ(ReadAll(ini), "[A]\nk=old\n");
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "new", dir.Path("missing/x.ini")));
    EXPECT_FALSE(test_support::Exists(dir.Path("missing")));
}

TEST(Profile, AFileThatCannotBeReadIsNeverRewritten) {
    ScratchFolder dir;
    std::string ini = dir.Write("wo.ini", "[A]\nk=old\nother=kept\n");
    // Write-only, in a folder open to all; the superuser reads anything, so the writer runs as nobody.
    ASSERT_EQ(::chmod(ini.c_str(), 0222), 0);
    ASSERT_EQ(::chmod(dir.Root().c_str(), 0777), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && ::setuid(65534) != 0) ::_exit(3);
        if (::access(dir.Root().c_str(), W_OK | X_OK) != 0) ::_exit(4);
        bool wrote = WritePrivateProfileString("A", "k", "new", ini);
        bool deleted = DeletePrivateProfileKey("A", "other", ini);
        ::_exit(wrote ? 1 : deleted ? 2 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 4) GTEST_SKIP() << "the temporary folder's parents are closed to other users";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the write went ahead; 2: the delete did; 3: no setuid";
    ::chmod(ini.c_str(), 0644);
    EXPECT_EQ(ReadAll(ini), "[A]\nk=old\nother=kept\n");
}

TEST(Profile, WriteKeepsPermissionBitsAndLeavesNoTemporaryFiles) {
    ScratchFolder dir;
    std::string ini = dir.Write("a.ini", "[A]\nk=1\n");
    ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", ini));
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Root())) (void)entry, ++entries;
    EXPECT_EQ(entries, 1);
}
