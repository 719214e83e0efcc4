#include "app/wait/gui_wait.h"

#include <QEventLoop>
#include <QTimer>
#include <chrono>

void WaitPainting(int duration_ms) {
    if (duration_ms <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(duration_ms, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool PollPainting(const std::function<bool()>& done, int interval_ms, int bound_ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(bound_ms);
    while (true) {
        if (done()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        WaitPainting(static_cast<int>(std::min<long long>(interval_ms, left.count())));
    }
}
