// The series dialogs across threads: each is shown by the GUI thread at its own thread's request, and the
// button's work (the next capture, the gathered PDF) runs on that thread while the window stays responsive.
#include "app/series/series_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QProgressBar>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "app/resources/resource_library.h"
#include "app/series/series_threads.h"
#include "capture/grabber_callback.h"
#include "platform/ui/qt_message_target.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/wait_until.h"

namespace {

template <typename Dialog>
Dialog* Shown() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* dialog = qobject_cast<Dialog*>(window); dialog != nullptr && dialog->isVisible())
            return dialog;
    return nullptr;
}

// The dialog runs a modal loop of its own inside the test's wait, so it is pressed from a timer, which that
// loop runs too: `before` sees the dialog first.
template <typename Dialog>
void PressWhenShown(int id, std::function<void(Dialog&)> before = {}) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, id, before] {
        Dialog* dialog = Shown<Dialog>();
        if (dialog == nullptr) return;
        timer->deleteLater();
        timer->stop();
        if (before) before(*dialog);
        dialog->template ControlAs<QAbstractButton>(id)->click();
    });
    timer->start(10);
}

class SeriesDialogs : public ::testing::Test {
  protected:
    CCaptureRecord record;
    pipeline::CaptureSession session{
        pipeline::CaptureFlags{g_grabberCallback.m_bGrabRequested, g_grabberCallback.m_bOcrCapture,
                               g_grabberCallback.m_bCardCapture, record.m_bCaptureBusy}};
    QWidget owner;
    platform::QtMessageTarget frame{[](const platform::WindowMessage&) { return intptr_t{0}; }};
    std::atomic<int> prepared_on_gui{0};
    pipeline::SeriesDialogs dialogs;
    test_support::ScratchFolder dir;

    void SetUp() override {
        g_grabberCallback.m_bGrabRequested = 0;
        SeriesContext context;
        context.record = &record;
        context.session = &session;
        context.frame = &frame;
        context.owner = [this] { return &owner; };
        QThread* gui = QThread::currentThread();
        context.prepare = [this, gui](int, int, bool) {
            if (QThread::currentThread() == gui) prepared_on_gui.fetch_add(1);
        };
        dialogs = MakeSeriesDialogs(context);
    }
    static void SetUpTestSuite() { SetAppResources(ResourceLibrary::LoadFrom(VELLUMO_BIN_DIR)); }
    static void TearDownTestSuite() { SetAppResources(std::nullopt); }

    // Runs a dialog's procedure on a thread of its own; `ended` once it has. A test that fails midway
    // closes the window, which lets the thread go.
    struct Running {
        platform::QtMessageTarget& frame;
        std::atomic<bool> ended{false};
        std::thread thread;
        Running(platform::QtMessageTarget& target, const std::function<void()>& procedure)
            : frame(target), thread([this, procedure] {
                  procedure();
                  ended = true;
              }) {}
        ~Running() {
            if (!ended) frame.Close();
            thread.join();
        }
    };
};

TEST_F(SeriesDialogs, StopEndsTheSeriesAndCaptureNextTakesTheFrameFromTheDialogsThread) {
    record.m_bContinuousRunning = 1;
    {
        PressWhenShown<CContinueCapture>(1009);
        Running stop(frame, dialogs.continue_capture);
        ASSERT_TRUE(test_support::WaitUntil([&] { return stop.ended.load(); }));
    }
    EXPECT_EQ(record.m_bContinuousRunning, 0);
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);

    PressWhenShown<CContinueCapture>(1010);
    Running next(frame, dialogs.continue_capture);
    ASSERT_TRUE(test_support::WaitUntil([&] { return next.ended.load(); }));
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 1);
    EXPECT_EQ(record.m_bCaptureBusy, 1);
    EXPECT_EQ(record.m_bContinuousRunning, 1);
    EXPECT_EQ(prepared_on_gui.load(), 1) << "the view's area is read on the GUI thread";
    EXPECT_EQ(Shown<CContinueCapture>(), nullptr) << "the dialog closes before the picture is taken";
}

TEST_F(SeriesDialogs, FinishWritesTheGatheredPagesWhileTheBarRunsToTheirCount) {
    std::vector<uint8_t> pixels(64 * 48 * 3, 200);
    for (int page = 1; page <= 3; ++page) {
        const std::string path = dir.Path("page" + std::to_string(page) + ".bmp");
        ASSERT_TRUE(pipeline::WriteCaptureFile(path, {pixels.data(), pixels.size(), 64, 48}, {}, {}, 2154));
        session.m_pages.AddPageFile(path);
    }
    session.m_naming.m_szOutputFile = dir.Path("Doc0001.pdf");
    g_grabberCallback.m_bGrabRequested = 1;  // a capture asked for before the finish is withdrawn

    std::vector<int> seen;  // the bar's values with its range, while the note stands in for the buttons
    bool bar_hidden_at_first = false;
    PressWhenShown<CTransform>(1001, [&](CTransform& dialog) {
        auto* bar = dialog.ControlAs<QProgressBar>(1003);
        bar_hidden_at_first = !bar->isVisible();
        QObject::connect(bar, &QProgressBar::valueChanged, bar, [&seen, &dialog, bar](int value) {
            if (dialog.Control(1004)->isVisible() && !dialog.Control(1001)->isVisible())
                seen.push_back(value * 10 + bar->maximum());
        });
    });
    Running transform(frame, dialogs.transform);
    ASSERT_TRUE(test_support::WaitUntil([&] { return transform.ended.load(); }, 30000));

    EXPECT_TRUE(bar_hidden_at_first);
    EXPECT_EQ(seen, (std::vector<int>{13, 23, 33}));  // 1 of 3, 2 of 3, 3 of 3
    EXPECT_TRUE(test_support::Exists(dir.Path("Doc0001.pdf")));
    EXPECT_EQ(session.m_pages.Count(), 0);
    EXPECT_FALSE(test_support::Exists(dir.Path("page1.bmp")));
    EXPECT_EQ(g_grabberCallback.m_bGrabRequested, 0);
    EXPECT_EQ(Shown<CTransform>(), nullptr);
}

}  // namespace
