// The view's command table: enable rules and marks over the settings record, and the setting commands.
#include "app/commands/view_commands.h"

#include <gtest/gtest.h>

#include <set>

#include "settings/settings.h"

namespace {

struct Commands {
    CVellumoSettings s;
    CommandTable table;
    std::vector<std::string> calls;  // what reached the camera, in order

    Commands() {
        s.m_bDevicePresent = 1;
        s.m_nOcrEngineCount = 1;
        s.m_bCardProgramFound = 1;
        ViewCommandServices services;
        services.set_focus_position = [this](long v) { calls.push_back("focus " + std::to_string(v)); };
        services.set_focus_auto = [this] { calls.push_back("focus auto"); };
        services.set_iris_value = [this](long v) { calls.push_back("iris " + std::to_string(v)); };
        services.set_iris_auto = [this] { calls.push_back("iris auto"); };
        services.set_backlight_compensation = [this](long v) {
            calls.push_back("backlight " + std::to_string(v));
        };
        services.read_focus = [this](long* value, long* flags) {
            *value = 70;
            *flags = focus_flags;
            return true;
        };
        services.write_register = [this](unsigned reg, unsigned width, unsigned value) {
            calls.push_back("register " + std::to_string(reg) + " " + std::to_string(width) + " " +
                            std::to_string(value));
        };
        services.control_open = [this] { return control_open; };
        services.apply_frequency_mode = [this](int mode) {
            calls.push_back("frequency " + std::to_string(mode));
        };
        AddViewCommands(table, s, std::move(services));
    }
    std::set<int> Enabled() const {
        std::set<int> ids;
        for (int id : table.Ids())
            if (table.State(id).enabled) ids.insert(id);
        return ids;
    }
    long focus_flags = 2;
    bool control_open = true;
};

const std::set<int> kAlwaysOn = {842, 813, 817, 814, 815, 816, 1015, 1016, 1025, 1034};

TEST(ViewCommands, NoCameraLeavesOnlyTheCommandsWithoutACondition) {
    Commands c;
    c.s.m_bDevicePresent = 0;
    EXPECT_EQ(c.Enabled(), kAlwaysOn);
}

TEST(ViewCommands, RecordingLeavesOnlyThePresentRules) {
    Commands c;
    c.s.m_bNotRecording = 0;
    std::set<int> want = kAlwaysOn;
    for (int id : {1030, 811, 812, 818, 1023, 1013, 1086, 1084, 1005, 1007}) want.insert(id);
    EXPECT_EQ(c.Enabled(), want);

    // A capture in progress disables the present rules too, and every setting the capture reads.
    c.s.m_bCaptureBusy = 1;
    EXPECT_EQ(c.Enabled(), (std::set<int>{1025, 1034}));
}

TEST(ViewCommands, CropAndDeskewRadios) {
    Commands c;
    auto radios = [&] {
        return std::vector<bool>{c.table.State(820).checked, c.table.State(821).checked,
                                 c.table.State(822).checked};
    };
    ASSERT_TRUE(c.table.Execute(822));
    EXPECT_TRUE(c.s.m_bAutoDeskew && c.s.m_bAutoCrop);
    ASSERT_TRUE(c.table.Execute(821));
    EXPECT_TRUE(c.s.m_bAutoCrop && !c.s.m_bAutoDeskew);
    EXPECT_EQ(radios(), (std::vector<bool>{false, true, false}));
    EXPECT_TRUE(c.table.State(821).radio);
    ASSERT_TRUE(c.table.Execute(820));
    EXPECT_EQ(radios(), (std::vector<bool>{true, false, false}));
}

TEST(ViewCommands, FocusStepsStopAtTheirEndsAndDisableThemselves) {
    Commands c;
    c.s.m_bAutoFocus = 0;
    c.s.m_nFocus = 2;
    ASSERT_TRUE(c.table.Execute(1061));
    EXPECT_EQ(c.s.m_nFocus, 0);
    EXPECT_FALSE(c.table.State(1061).enabled);
    c.s.m_nFocus = 148;
    ASSERT_TRUE(c.table.Execute(1066));  // the OCR tab's farther
    EXPECT_EQ(c.s.m_nFocus, 150);
    EXPECT_FALSE(c.table.State(1066).enabled);
    EXPECT_FALSE(c.table.State(1062).enabled);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"focus 0", "focus 150"}));
    c.s.m_bAutoFocus = 1;
    c.s.m_nFocus = 60;
    EXPECT_FALSE(c.table.State(1062).enabled);  // steps only in manual focus
}

TEST(ViewCommands, FocusOnceMakesManualFocusAutomaticAndAsksTheCameraToFocus) {
    Commands c;
    c.s.m_bAutoFocus = 0;
    c.focus_flags = 2;
    ASSERT_TRUE(c.table.Execute(1089));
    EXPECT_EQ(c.calls, (std::vector<std::string>{"focus auto", "register 196 1 0"}));
    EXPECT_EQ(c.s.m_bAutoFocus, 0);  // the fake still answers manual on the second read
}

TEST(ViewCommands, OneFileFlagFollowsTheOcrFormatNotTheFileOrder) {
    Commands c;
    c.s.m_nOcrFormat = 3;  // PDF
    for (uint8_t& flag : c.s.m_bOcrOnePerFormat) flag = 0;
    ASSERT_TRUE(c.table.Execute(1015));
    EXPECT_EQ(std::vector<uint8_t>(c.s.m_bOcrOnePerFormat, c.s.m_bOcrOnePerFormat + 5),
              (std::vector<uint8_t>{0, 0, 1, 0, 0}));
    EXPECT_TRUE(c.table.State(1015).checked);
    EXPECT_FALSE(c.table.State(1016).checked);
}

TEST(ViewCommands, SettingCommandsAndTheirCamera) {
    Commands c;
    c.s.m_nExposurePhoto = 33;
    ASSERT_TRUE(c.table.Execute(1052));
    EXPECT_EQ(c.s.m_nExposureIndex, 2);
    EXPECT_TRUE(c.table.State(1052).checked);
    ASSERT_TRUE(c.table.Execute(808));
    EXPECT_EQ(g_nImageFormat.load(), 2);
    EXPECT_EQ(c.s.m_bPdfOption, 1);
    EXPECT_TRUE(c.table.State(1033).enabled);
    ASSERT_TRUE(c.table.Execute(1060));
    EXPECT_EQ(c.s.m_bPdfOption, 0);
    EXPECT_FALSE(c.table.State(1033).enabled);
    ASSERT_TRUE(c.table.Execute(834));
    EXPECT_EQ(c.s.m_nCaptureWidth, 2048);
    ASSERT_TRUE(c.table.Execute(832));
    c.control_open = false;
    ASSERT_TRUE(c.table.Execute(845));  // stored, not sent without the control link
    EXPECT_EQ(c.s.m_nFrequency, 2);
    EXPECT_EQ(c.calls, (std::vector<std::string>{"iris 33", "backlight 0", "frequency 1"}));
    g_nImageFormat = 0;
}

}  // namespace
