#pragma once
// Waits for a condition in a GUI test, running the event loop meanwhile; true as soon as it holds, false
// when the bound passes. Use with ASSERT_TRUE / EXPECT_TRUE, so that a timeout fails the test (the
// toolkit's own QTRY macros report to the toolkit's test runner, which a GoogleTest program ignores).

#include <QCoreApplication>
#include <QThread>
#include <chrono>

namespace test_support {

template <typename Condition>
bool WaitUntil(Condition condition, int bound_ms = 20000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
        QThread::msleep(1);
    }
    return true;
}

}  // namespace test_support
