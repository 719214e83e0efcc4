// The capture sequence in each of its forms, over hooks that record what it waited for and when.
#include "pipeline/capturecmd/capture_command.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/grabber_callback.h"

namespace {

class CaptureSequence : public ::testing::Test {
  protected:
    CCaptureRecord record;
    std::vector<std::string> log;    // waits, polls, status reads and the prepare call, in order
    std::vector<uint32_t> statuses;  // what the camera reports, one read each; the last repeats
    bool status_readable = true;
    bool window_there = true;
    int target = 0;

    void SetUp() override {
        Again();
        record.m_nSetSize = 2;
        record.m_nSetPreviewSize = 2;
    }
    // As after the frame was taken and the worker ended.
    void Again() {
        log.clear();
        record.m_bCaptureBusy = 0;
        g_grabberCallback.m_bGrabRequested = 0;
        g_grabberCallback.m_bOcrCapture = 0;
        g_grabberCallback.m_bCardCapture = 0;
    }

    CaptureCommandHooks Hooks() {
        CaptureCommandHooks hooks;
        hooks.wait = [this](int ms) { log.push_back("wait " + std::to_string(ms)); };
        // Asks as a real poll would until the bound, without waiting.
        hooks.poll = [this](const std::function<bool()>& done, int interval, int bound) {
            log.push_back("poll " + std::to_string(interval) + "/" + std::to_string(bound));
            for (int waited = 0; waited <= bound; waited += interval)
                if (done()) return true;
            return false;
        };
        hooks.on_window_thread = [this](const std::function<void()>& work) {
            if (window_there) work();
            return window_there;
        };
        hooks.prepare = [this](int width, int height, bool restarted) {
            log.push_back("prepare " + std::to_string(width) + "x" + std::to_string(height) +
                          (restarted ? " restarted" : "") +
                          (g_grabberCallback.m_bGrabRequested ? " after the grab" : ""));
        };
        hooks.read_status = [this](uint32_t* status) {
            if (!status_readable) return false;
            *status = statuses.empty() ? 0 : statuses.front();
            if (statuses.size() > 1) statuses.erase(statuses.begin());
            return true;
        };
        hooks.hand_over_target = [this] { return target; };
        return hooks;
    }

    bool Run(CaptureForm form) { return RunCaptureSequence(record, form, Hooks()); }
};

TEST_F(CaptureSequence, ViewCommandWaitsForReadyThenRequestsTheFrameLast) {
    statuses = {0, 2, 1};
    ASSERT_TRUE(Run(CaptureForm::View));
    // At the capture size already: no settling wait; the frame size still comes from the capture size.
    EXPECT_EQ(log, (std::vector<std::string>{"poll 500/10000", "prepare 2592x1944"}));
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 1);
    EXPECT_EQ(record.m_bCaptureBusy, 1);  // until the worker ends
    EXPECT_EQ(g_grabberCallback.m_bOcrCapture, 0);

    Again();
    record.m_nSetPreviewSize = 0;
    record.m_nSetSize = 1;
    statuses = {1};
    ASSERT_TRUE(Run(CaptureForm::View));
    EXPECT_EQ(log, (std::vector<std::string>{"wait 3000", "prepare 2048x1536 restarted"}));
}

TEST_F(CaptureSequence, ViewCommandEndsCleanlyWhenTheCameraNeverGetsReady) {
    statuses = {2};
    EXPECT_FALSE(Run(CaptureForm::View));
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);
    EXPECT_EQ(record.m_bCaptureBusy, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"poll 500/10000"}));

    // A camera without a control link cannot say; it is captured from at once.
    Again();
    status_readable = false;
    EXPECT_TRUE(Run(CaptureForm::View));
    EXPECT_EQ(log, (std::vector<std::string>{"prepare 2592x1944"}));
}

TEST_F(CaptureSequence, DialogFormsWaitWhileBusyThenTheDelayAndSetTheirFlags) {
    record.m_nDelayTime = 700;
    record.m_nSetPreviewSize = 0;  // switched, but a dialog's form does not settle for 3 s
    statuses = {2, 2, 0};
    ASSERT_TRUE(Run(CaptureForm::ContinueCapture));
    // The session hears of the restart, so the frame's wait allows for it.
    EXPECT_EQ(log, (std::vector<std::string>{"poll 100/10000", "wait 700", "prepare 2592x1944 restarted"}));
    EXPECT_EQ(record.m_bContinuousRunning, 1);
    EXPECT_EQ(g_grabberCallback.m_bOcrCapture, 0);

    // A camera that stays busy holds the capture up to the bound only.
    Again();
    statuses = {2};
    target = 1;
    ASSERT_TRUE(Run(CaptureForm::ContinueOcr));
    EXPECT_EQ(log, (std::vector<std::string>{"poll 100/10000", "wait 700", "prepare 2592x1944 restarted"}));
    EXPECT_EQ(g_grabberCallback.m_bOcrCapture, 1);
    EXPECT_EQ(g_grabberCallback.m_bCardCapture, 0);  // only the page series of a card program marks cards

    Again();
    ASSERT_TRUE(Run(CaptureForm::OcrTransform));
    EXPECT_EQ(g_grabberCallback.m_bCardCapture, 1);
}

TEST_F(CaptureSequence, APageAutoCaptureSawLieStillIsTakenFromItsKeptFrameWithoutAGrab) {
    record.m_nDelayTime = 700;
    CaptureCommandHooks hooks = Hooks();
    hooks.page_lies_still = [] { return true; };
    bool keep = true;
    hooks.hand_kept_frame = [&](int width, int height) {
        log.push_back("kept " + std::to_string(width) + "x" + std::to_string(height) +
                      (g_grabberCallback.m_bOcrCapture ? " for text" : ""));
        return keep;
    };
    statuses = {1};  // ready, not busy
    ASSERT_TRUE(RunCaptureSequence(record, CaptureForm::ContinueOcr, hooks));
    EXPECT_EQ(log,
              (std::vector<std::string>{"poll 100/10000", "prepare 2592x1944", "kept 2592x1944 for text"}));
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);
    EXPECT_EQ(record.m_bCaptureBusy, 1);  // the capture goes on from the kept frame

    // No frame kept at that size: the camera's next frame is grabbed.
    Again();
    keep = false;
    ASSERT_TRUE(RunCaptureSequence(record, CaptureForm::View, hooks));
    EXPECT_EQ(log.back(), "kept 2592x1944");
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 1);
}

TEST_F(CaptureSequence, AWindowThatHasGoneEndsTheDialogsCaptureWithNothingRequested) {
    window_there = false;
    EXPECT_FALSE(Run(CaptureForm::Transform));
    EXPECT_EQ(record.m_bCaptureBusy, 0);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);
    EXPECT_TRUE(log.empty());
}

}  // namespace
