// Window messages across threads: a worker's send is handled on the GUI thread and waits for the result;
// posts arrive in order; closing the window releases a sender that would otherwise wait for ever.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/ui/qt_message_target.h"
#include "tests/support/wait_until.h"

using platform::QtMessageTarget;
using platform::WindowMessage;

TEST(WindowMessages, WorkerSendRunsOnGuiThreadAndReturnsItsResult) {
    QThread* gui = QThread::currentThread();
    std::atomic<int> on_gui{0};
    std::vector<uintptr_t> posted;  // touched on the GUI thread only
    QtMessageTarget target([&](const WindowMessage& message) -> intptr_t {
        if (QThread::currentThread() == gui) on_gui.fetch_add(1);
        if (message.message == platform::WM_CAPTUREDONE) return static_cast<intptr_t>(message.wparam) * 2;
        posted.push_back(message.wparam);
        return 0;
    });

    std::atomic<intptr_t> sent_result{-1};
    std::atomic<int> dialog_ran_on_gui{0};
    std::thread worker([&] {
        for (uintptr_t i = 1; i <= 3; ++i) platform::PostMessage(&target, platform::WM_GRAPHNOTIFY, i);
        sent_result = platform::SendMessage(&target, platform::WM_CAPTUREDONE, 21);
        platform::RunOnWindowThread(&target, [&] {
            dialog_ran_on_gui = QThread::currentThread() == gui ? 1 : 0;
            return intptr_t{1};
        });
    });
    ASSERT_TRUE(test_support::WaitUntil([&] { return sent_result.load() != -1; }, 10000));
    ASSERT_TRUE(test_support::WaitUntil([&] { return dialog_ran_on_gui.load() == 1; }, 10000));
    worker.join();

    EXPECT_EQ(sent_result.load(), 42);
    EXPECT_EQ(posted, (std::vector<uintptr_t>{1, 2, 3}));  // posts before the send were handled before it
    EXPECT_EQ(on_gui.load(), 4);
    // On its own thread a send runs at once.
    EXPECT_EQ(platform::SendMessage(&target, platform::WM_CAPTUREDONE, 5), 10);
}

TEST(WindowMessages, ClosingReleasesAWaitingSenderAndRefusesLaterMessages) {
    std::atomic<int> handled{0};
    QtMessageTarget target([&](const WindowMessage&) -> intptr_t {
        handled.fetch_add(1);
        return 7;
    });
    std::atomic<bool> returned{false};
    std::atomic<intptr_t> result{-1};
    std::thread worker([&] {
        result = platform::SendMessage(&target, platform::WM_CAPTUREDONE);
        returned = true;
    });
    // The GUI thread does not run its queue here, so the sender can only come back through Close().
    while (!returned.load()) {
        target.Close();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(platform::SendMessage(&target, platform::WM_CAPTUREDONE), 0);
    platform::PostMessage(&target, platform::WM_GRAPHNOTIFY);
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(handled.load(), 0);  // the queued send and the later post were dropped
}

// A GUI thread that does not answer (here: it waits for the sender itself) releases the sender after the
// pickup bound, and the withdrawn message never runs later, since the call it carries may use the sender's
// stack. A message the GUI thread has begun to handle is waited for however long it takes (a dialog).
TEST(WindowMessages, ASenderIsReleasedWhenTheGuiThreadCannotAnswerButNotWhileItsMessageRuns) {
    constexpr std::chrono::milliseconds kPickup{200};
    std::atomic<int> handled{0};
    QtMessageTarget target([&](const WindowMessage&) -> intptr_t { return 7; }, nullptr, kPickup);
    std::atomic<bool> returned{false};
    std::atomic<intptr_t> result{-1};
    std::thread worker([&] {
        result = platform::RunOnWindowThread(&target, [&] {
            handled.fetch_add(1);
            return intptr_t{5};
        });
        returned = true;
    });
    // The GUI thread does not run its queue while it waits here.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!returned.load() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const bool released = returned.load();
    if (!released) target.Close();  // lets the worker go so the test can end
    worker.join();
    EXPECT_TRUE(released) << "the sender waited for a GUI thread that could not answer";
    EXPECT_EQ(result.load(), 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(handled.load(), 0) << "a withdrawn message ran after its sender had gone";

    // Begun in time, the message runs for longer than the bound and its result still comes back.
    std::thread dialog_sender([&] {
        result = platform::RunOnWindowThread(&target, [&] {
            std::this_thread::sleep_for(kPickup * 3);
            return intptr_t{9};
        });
    });
    ASSERT_TRUE(test_support::WaitUntil([&] { return result.load() == 9; }, 20000));
    dialog_sender.join();
}
