#include "platform/ui/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <cerrno>

#include "platform/debuglog/debuglog.h"

namespace platform {
namespace {

// The signal handler may only write to a pipe; the GUI thread reads it.
int g_pipe[2] = {-1, -1};
std::atomic<int> g_pending{0};

void OnSignal(int signal) {
    if (g_pending.exchange(signal) != 0) _exit(128 + signal);  // asked twice: no more waiting
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}  // namespace

void WatchTerminationSignals(std::function<void(int signal)> on_signal) {
    if (g_pipe[0] >= 0) return;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        DebugLog("ui", "no pipe for the termination signals; they end the program at once");
        return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [on_signal = std::move(on_signal)] {
        char byte = 0;
        while (::read(g_pipe[0], &byte, 1) == 1) {
        }
        const int signal = g_pending.load();
        DebugLog("ui", "signal %d: the program ends", signal);
        if (on_signal) on_signal(signal);
    });
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace platform
