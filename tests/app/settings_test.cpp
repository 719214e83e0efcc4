// The settings record: load rules, what counts as a change, and what a save writes.
#include "settings/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <memory>

#include "platform/profile/profile.h"
#include "platform/profile/profile_store.h"
#include "tests/support/scratch_folder.h"

using test_support::ReadAll;
using test_support::ScratchFolder;

namespace {

// The record over the program's own store, a real INI file at its m_szIniPath.
bool Changed(const CVellumoSettings& settings) {
    return settings.SettingsChanged(platform::CProfileStore(settings.m_szIniPath));
}

void Save(const CVellumoSettings& settings) {
    platform::CProfileStore store(settings.m_szIniPath);
    settings.SaveSettings(store);
}

std::unique_ptr<CVellumoSettings> Loaded(const std::string& ini) {
    auto settings = std::make_unique<CVellumoSettings>();
    settings->m_szIniPath = ini;
    settings->LoadSettings(platform::CProfileStore(ini));
    return settings;
}

// A file as a previous run's SaveSettings leaves it, so nothing counts as changed.
std::string SavedFile(const ScratchFolder& dir) {
    auto settings = Loaded(dir.Path("none.ini"));
    settings->m_szIniPath = dir.Path("saved.ini");
    Save(*settings);
    return settings->m_szIniPath;
}

}  // namespace

TEST(Settings, MissingFileLoadsEmptyTextsAndZerosWithThreshold128) {
    ScratchFolder dir;
    g_nImageFormat = 99;
    auto s = Loaded(dir.Path("missing.ini"));
    EXPECT_EQ(s->m_szSavePath, "");
    EXPECT_EQ(s->m_nSetSize, 0);
    EXPECT_EQ(g_nImageFormat, 0);
    EXPECT_EQ(s->m_nThreshold, 128);
    EXPECT_EQ(s->m_bAutoFocus, 1);
    EXPECT_EQ(s->m_bStreamA, 1);
    EXPECT_EQ(s->m_bStreamB, 1);
}

TEST(Settings, LoadRulesForFlagsStreamsFormatAndAutoFocus) {
    ScratchFolder dir;
    auto s =
        Loaded(dir.Write("a.ini",
                         "[vellumo]\nAUTO DESKEW=2\nCONTINUOUS FILE=1\nAuto Focus=0\nVIDEO STREAM=1\n"
                         "FORMAT=2\nThreshold=90\nHelp=manual.html\nPIDVID=vid_1234&pid_5678\n"
                         "[OCR]\nPDF All pages to one=1\nXLS All pages to one=7\n[BCR]\nContinuous=1\n"));
    EXPECT_EQ(s->m_bAutoDeskew, 0) << "only exactly 1 is on";
    EXPECT_EQ(s->m_bContinuousFile, 1);
    EXPECT_EQ(s->m_bAutoFocus, 1) << "automatic focus is always on after loading";
    EXPECT_EQ(s->m_bStreamA, 1);
    EXPECT_EQ(s->m_bStreamB, 0) << "stored 1 means video only";
    EXPECT_EQ(g_nImageFormat, 2);
    EXPECT_EQ(s->m_bPdfOption, 1);
    EXPECT_EQ(s->m_nThreshold, 90);
    EXPECT_EQ(s->m_szHelpPath, "manual.html");
    EXPECT_EQ(s->m_szPidVid, "vid_1234&pid_5678");
    EXPECT_EQ(s->m_bOcrOnePerFormat[2], 1);
    EXPECT_EQ(s->m_bOcrOnePerFormat[3], 0);
    EXPECT_EQ(s->m_bCardContinuous, 1);

    s = Loaded(dir.Write("b.ini", "[VELLUMO]\nFORMAT=4\nVIDEO STREAM=0\n"));
    EXPECT_EQ(g_nImageFormat, 4);
    EXPECT_EQ(s->m_bPdfOption, 0);
    EXPECT_EQ(s->m_bStreamB, 1);
}

TEST(Settings, NumbersReadLikeAtoiButNeverOverflow) {
    EXPECT_EQ(ProfileNumber("  42abc"), 42);
    EXPECT_EQ(ProfileNumber("-7"), -7);
    EXPECT_EQ(ProfileNumber("+8"), 8);
    EXPECT_EQ(ProfileNumber("abc"), 0);
    EXPECT_EQ(ProfileNumber(""), 0);
    EXPECT_EQ(ProfileNumber("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ProfileNumber("-99999999999999999999"), INT_MIN);
    EXPECT_EQ(ProfileNumber("-2147483648"), INT_MIN);
}

TEST(Settings, HostileFilesLoadWithoutHarm) {
    ScratchFolder dir;
    std::string junk = std::string("\0\x01\xff", 3) + "\n[VELLUMO]\nSETSIZE=abc\nBrightness=99999999999\n";
    junk += "SAVEPATH=" + std::string(1000, 'p') + "\n";
    junk += "[VELLUMO]\nSETSIZE=2\n[VELLUMO\nPREFIX=first\nPREFIX=second\n";
    auto s = Loaded(dir.Write("junk.ini", junk));
    EXPECT_EQ(s->m_nSetSize, 0);
    EXPECT_EQ(s->m_nBrightness, INT_MAX);
    EXPECT_EQ(s->m_szSavePath.size(), kSettingsTextMax);
    EXPECT_EQ(s->m_szPrefix, "") << "keys of a repeated section are not merged into the first one";
    s = Loaded(dir.Write("nosections.ini", "SETSIZE=2\nFORMAT=1\n"));
    EXPECT_EQ(s->m_nSetSize, 0);
}

TEST(Settings, UnsavedKeysDoNotCountAsChanges) {
    ScratchFolder dir;
    auto s = Loaded(SavedFile(dir));
    EXPECT_FALSE(Changed(*s));
    s->m_nExposurePhoto = 77;
    s->m_nDelayTime = 1234;
    s->m_nThreshold = 3;
    s->m_nExposureCard = 9;
    s->m_szPidVid = "other";
    EXPECT_FALSE(Changed(*s));
}

TEST(Settings, EverySavedFieldCountsAsAChange) {
    ScratchFolder dir;
    const std::string ini = SavedFile(dir);
    std::vector<std::pair<const char*, std::function<void(CVellumoSettings&)>>> changes = {
        {"SAVEPATH", [](auto& s) { s.m_szSavePath = "/x/"; }},
        {"PREFIX", [](auto& s) { s.m_szPrefix = "p"; }},
        {"SETSIZE", [](auto& s) { s.m_nSetSize = 2; }},
        {"SETPREVIEWSIZE", [](auto& s) { s.m_nSetPreviewSize = 1; }},
        {"FORMAT", [](auto&) { g_nImageFormat = 3; }},
        {"AUTO DESKEW", [](auto& s) { s.m_bAutoDeskew = 1; }},
        {"VIDEO STREAM", [](auto& s) { s.m_bStreamB = 0; }},
        {"Auto Focus", [](auto& s) { s.m_bAutoFocus = 0; }},
        {"Exposure Manual", [](auto& s) { s.m_nExposureManual = 4; }},
        {"Zorvex Index", [](auto& s) { s.m_nCardProgram = 1; }},
        {"OCR Format", [](auto& s) { s.m_nOcrFormat = 3; }},
        {"TXT All pages to one", [](auto& s) { s.m_bOcrOnePerFormat[4] = 1; }},
        {"Zorvex6Language", [](auto& s) { s.m_nCard6Language = 5; }},
        {"BCR Continuous", [](auto& s) { s.m_bCardContinuous = 1; }},
    };
    for (auto& [name, change] : changes) {
        auto s = Loaded(ini);
        change(*s);
        EXPECT_TRUE(Changed(*s)) << name;
    }
    auto s = Loaded(ini);
    s->m_szSize = "2048x1536";  // compared although never saved
    EXPECT_TRUE(Changed(*s));
}

TEST(Settings, AutoFocusStoredOffAlwaysAsksAndIsSavedOn) {
    ScratchFolder dir;
    std::string ini = SavedFile(dir);
    platform::WritePrivateProfileString("VELLUMO", "Auto Focus", "0", ini);
    auto s = Loaded(ini);
    EXPECT_TRUE(Changed(*s));
    Save(*s);
    EXPECT_EQ(platform::ReadProfileString(ini, "VELLUMO", "Auto Focus"), "1");
    EXPECT_FALSE(Changed(*Loaded(ini)));
}

TEST(Settings, SaveWritesEverySavedFieldAndKeepsTheRestOfTheFile) {
    ScratchFolder dir;
    std::string ini = dir.Write("w.ini",
                                "; shipped comment\n[Vellumo]\nModule=Vellumo\nPIDVID=vid_eb1a&pid_2d80\n"
                                "Exposure Photo=5\nThreshold=100\n");
    auto s = Loaded(ini);
    s->m_szSavePath = "/home/u/Desktop/Vellumo/";
    s->m_szPrefix = "Scan";
    s->m_nSetSize = 1;
    s->m_bStreamB = 0;
    s->m_bOcrOnePerFormat[1] = 1;
    s->m_bCardContinuous = 3;  // any non-zero flag saves as 1
    s->m_nExposurePhoto = 42;  // never saved
    g_nImageFormat = 3;
    Save(*s);

    std::string text = ReadAll(ini);
    EXPECT_EQ(text.rfind("; shipped comment\n[Vellumo]\nModule=Vellumo\nPIDVID=vid_eb1a&pid_2d80\n", 0), 0u);
    auto read = [&](const char* section, const char* key) {
        return platform::ReadProfileString(ini, section, key);
    };
    EXPECT_EQ(read("VELLUMO", "SAVEPATH"), "/home/u/Desktop/Vellumo/");
    EXPECT_EQ(read("VELLUMO", "FORMAT"), "3");
    EXPECT_EQ(read("VELLUMO", "VIDEO STREAM"), "1");
    EXPECT_EQ(read("VELLUMO", "Exposure Photo"), "5");
    EXPECT_EQ(read("VELLUMO", "Threshold"), "100");
    EXPECT_EQ(read("OCR", "RTF PAD All pages to one"), "1");
    EXPECT_EQ(read("BCR", "Continuous"), "1");

    auto again = Loaded(ini);
    EXPECT_EQ(again->m_szPrefix, "Scan");
    EXPECT_EQ(again->m_nSetSize, 1);
    EXPECT_EQ(again->m_bStreamB, 0);
    EXPECT_FALSE(Changed(*again));
}

TEST(Settings, SaveToAReadOnlyFileLeavesItUntouched) {
    ScratchFolder dir;
    std::string ini = dir.Write("ro.ini", "[VELLUMO]\nPREFIX=old\n");
    ::chmod(ini.c_str(), 0444);
    auto s = Loaded(ini);
    s->m_szPrefix = "new";
    Save(*s);
    EXPECT_EQ(ReadAll(ini), "[VELLUMO]\nPREFIX=old\n");
    EXPECT_TRUE(Changed(*s));
}

TEST(Settings, ResolutionTableKnowsThreeSizes) {
    int w = -1, h = -1;
    EXPECT_TRUE(ResolutionSize(2, w, h));
    EXPECT_EQ(w, 2592);
    EXPECT_EQ(h, 1944);
    EXPECT_FALSE(ResolutionSize(3, w, h));
    EXPECT_FALSE(ResolutionSize(-1, w, h));
    EXPECT_EQ(w, 2592) << "an unknown index leaves the size as it was";
}

TEST(Settings, FormatIntIsBoundedTo260Bytes) {
    char buffer[300];
    std::fill(std::begin(buffer), std::end(buffer), 'Z');
    FormatInt(buffer, "%d-%s", 12, std::string(400, 'x').c_str());
    EXPECT_EQ(std::string(buffer).size(), 259u);
    EXPECT_EQ(buffer[260], 'Z');
}
