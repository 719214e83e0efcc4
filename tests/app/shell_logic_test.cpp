// The toolkit-free logic of the shell: status text, scripts, accelerators, command table, close questions.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/commands/accelerators.h"
#include "app/commands/command_table.h"
#include "app/mainframe/close_handler.h"
#include "app/mainframe/status_text.h"
#include "app/script/script.h"
#include "platform/profile/profile.h"
#include "platform/profile/profile_store.h"
#include "platform/ui/prompt.h"
#include "settings/settings.h"
#include "tests/support/scratch_folder.h"

namespace {

std::string Label(unsigned id) { return "<" + std::to_string(id) + ">"; }

}  // namespace

TEST(StatusText, SummarisesTheSettingsWithResourceLabels) {
    CVellumoSettings s;
    s.m_nSetSize = 1;
    s.m_nRotationFile = 2;
    s.m_bAutoDeskew = 1;
    s.m_bCardContinuous = 1;
    EXPECT_EQ(
        BuildStatusText(s, 3, Label),
        "<160>:TIF  <162>:2048x1536  <163>:<174>  <164>:<169>  <165>:<170>  <166>:<170>  <167>:<169>  ");
    // A capture showed the camera gives another size: that is the size named.
    s.m_nCaptureWidth = 640;
    s.m_nCaptureHeight = 480;
    EXPECT_NE(BuildStatusText(s, 3, Label).find("<162>:640x480  <163>"), std::string::npos);
}

TEST(StatusText, OcrItemOnlyWithAnEngineAndUnknownValuesLeftBlank) {
    CVellumoSettings s;
    s.m_nOcrFormat = 1;
    s.m_nSetSize = 7;
    s.m_nRotationFile = 3;
    std::string without = BuildStatusText(s, 9, Label);
    EXPECT_EQ(without.find("<161>"), std::string::npos);
    EXPECT_EQ(without.rfind("<160>:  <162>:  <163>:<173>  ", 0), 0u);
    s.m_nOcrEngineCount = 1;
    EXPECT_NE(BuildStatusText(s, 0, Label).find("<160>:BMP  <161>:RTF(WordPad)  <162>"), std::string::npos);
    s.m_nOcrFormat = 8;
    EXPECT_NE(BuildStatusText(s, 0, Label).find("<161>:   <162>"), std::string::npos);
    s.m_nRotationFile = -1;
    EXPECT_NE(BuildStatusText(s, 0, Label).find("<163>:  <164>"), std::string::npos);
}

TEST(Script, ParsesEveryStepAndReportsLinesItSkips) {
    ScriptParseResult parsed = ParseScript(
        "# demo\r\nwait 250\ncommand 57664\nanswer Cancel\nscreenshot /tmp/a b.png\n\nclose\n"
        "wait soon\nanswer Maybe\ndance\nclose now\nawait empty 300\nawait live\nawait soon 5\n"
        "strip drag:1 3 500\nstrip drag:0 3 500\n");
    ASSERT_EQ(parsed.steps.size(), 7u);
    EXPECT_EQ(parsed.steps[0].kind, ScriptStep::Kind::Wait);
    EXPECT_EQ(parsed.steps[0].number, 250);
    EXPECT_EQ(parsed.steps[1].number, 57664);
    EXPECT_EQ(parsed.steps[2].number, platform::IDCANCEL);
    EXPECT_EQ(parsed.steps[3].argument, "/tmp/a b.png");
    EXPECT_EQ(parsed.steps[4].kind, ScriptStep::Kind::Close);
    EXPECT_EQ(parsed.steps[5].kind, ScriptStep::Kind::Await);
    EXPECT_EQ(parsed.steps[5].argument, "empty");
    EXPECT_EQ(parsed.steps[5].number, 300);
    EXPECT_EQ(parsed.steps[6].kind, ScriptStep::Kind::Strip);
    EXPECT_EQ(parsed.steps[6].argument, "drag:1");
    EXPECT_EQ(parsed.steps[6].control, 3);
    ASSERT_EQ(parsed.errors.size(), 7u);  // no place 0 to drop a page at
    EXPECT_EQ(parsed.errors[0], "line 8: wait soon");
}

TEST(Accelerators, ParseKeyCommandLines) {
    auto table = ParseAccelerators("F5=800\r\nCtrl+S=805\n=12\nCtrl+X=abc\nbroken\nCtrl+==7\n");
    ASSERT_EQ(table.size(), 3u);
    EXPECT_EQ(table[0].keys, "F5");
    EXPECT_EQ(table[0].command, 800);
    EXPECT_EQ(table[1].command, 805);
    EXPECT_EQ(table[2].keys, "Ctrl+=");
}

TEST(CommandTable, RunsOnlyEnabledCommandsAndReportsState) {
    CommandTable table;
    int runs = 0;
    bool enabled = false;
    table.Add(
        800, [&] { ++runs; },
        [&](CommandState& state) {
            state.enabled = enabled;
            state.checked = true;
            state.text = "Capture";
        });
    EXPECT_FALSE(table.Execute(800));
    enabled = true;
    EXPECT_TRUE(table.Execute(800));
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(table.State(800).checked);
    EXPECT_EQ(table.State(800).text.value_or(""), "Capture");
    EXPECT_FALSE(table.Execute(801));
    EXPECT_FALSE(table.State(801).enabled);
}

class CloseHandler : public ::testing::Test {
  protected:
    void SetUp() override {
        platform::SetPromptPresenter([this](const platform::Prompt& prompt) {
            asked.push_back(prompt);
            int answer = answers.empty() ? platform::IDCANCEL : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            return answer;
        });
        settings.m_szIniPath = dir.Path("v.ini");
        platform::CProfileStore store(settings.m_szIniPath);
        settings.LoadSettings(store);
        settings.SaveSettings(store);
    }
    void TearDown() override { platform::SetPromptPresenter(nullptr); }

    test_support::ScratchFolder dir;
    CVellumoSettings settings;
    std::vector<platform::Prompt> asked;
    std::vector<int> answers;
};

TEST_F(CloseHandler, NoChangeAsksNothing) {
    EXPECT_TRUE(RunCloseHandler(settings, Label, true, {}));
    EXPECT_TRUE(asked.empty());
}

TEST_F(CloseHandler, ChangedSettingsAreSavedOnlyOnOk) {
    settings.m_szPrefix = "Changed";
    answers = {platform::IDCANCEL};
    EXPECT_TRUE(RunCloseHandler(settings, Label, true, {}));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "<850>");
    EXPECT_EQ(asked[0].caption, "<133>");
    EXPECT_EQ(asked[0].flags, platform::MB_OKCANCEL | platform::MB_ICONQUESTION);
    EXPECT_EQ(platform::ReadProfileString(settings.m_szIniPath, "VELLUMO", "PREFIX"), "");

    answers = {platform::IDOK};
    EXPECT_TRUE(RunCloseHandler(settings, Label, true, {}));
    EXPECT_EQ(platform::ReadProfileString(settings.m_szIniPath, "VELLUMO", "PREFIX"), "Changed");
}

TEST_F(CloseHandler, RecordingQuestionComesFirstAndCancelKeepsTheWindow) {
    settings.m_bNotRecording = 0;
    settings.m_szPrefix = "Changed";
    int stopped = 0;
    answers = {platform::IDCANCEL};
    EXPECT_FALSE(RunCloseHandler(settings, Label, true, [&] { ++stopped; }));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "<155>");
    EXPECT_EQ(stopped, 0);

    asked.clear();
    answers = {platform::IDOK, platform::IDOK};
    EXPECT_TRUE(RunCloseHandler(settings, Label, true, [&] { ++stopped; }));
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[1].text, "<850>");
    EXPECT_EQ(stopped, 1);
}

TEST_F(CloseHandler, ReadOnlySettingsAreNotOfferedForSaving) {
    settings.m_szPrefix = "Changed";
    EXPECT_TRUE(RunCloseHandler(settings, Label, false, {}));
    EXPECT_TRUE(asked.empty());
}

TEST(Prompt, ScriptedAnswersMustFitTheButtons) {
    platform::SetPromptPresenter([](const platform::Prompt&) -> int {
        ADD_FAILURE() << "a queued answer must not show a box";
        return 0;
    });
    platform::QueueScriptedAnswer(platform::IDCANCEL);
    EXPECT_EQ(platform::MessageBox("t", "c", platform::MB_OKCANCEL), platform::IDCANCEL);
    platform::QueueScriptedAnswer(platform::IDNO);
    EXPECT_EQ(platform::MessageBox("t", "c", platform::MB_OK), platform::IDOK) << "no such button: default";
    platform::SetPromptPresenter(nullptr);
    EXPECT_EQ(
        platform::PromptLogLine({"Can't \"find\"", "Error", platform::MB_ICONHAND}, platform::IDOK, false),
        "MESSAGEBOX caption=\"Error\" text=\"Can't \\\"find\\\"\" buttons=OK icon=stop answer=OK");
}
