#include "platform/ui/toolkit_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>
#include <atomic>

#include "platform/debuglog/debuglog.h"
#include "platform/ui/prompt.h"
#include "platform/window/window_messages.h"

namespace platform {
namespace {

int ShowWithToolkit(const Prompt& prompt) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (prompt.flags & 0xF0) {
        case MB_ICONHAND:
            icon = QMessageBox::Critical;
            break;
        case MB_ICONQUESTION:
            icon = QMessageBox::Question;
            break;
        case MB_ICONWARNING:
            icon = QMessageBox::Warning;
            break;
        case MB_ICONINFORMATION:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (prompt.flags & 0xF) {
        case MB_OKCANCEL:
            buttons = QMessageBox::Ok | QMessageBox::Cancel;
            break;
        case MB_YESNO:
            buttons = QMessageBox::Yes | QMessageBox::No;
            break;
        case MB_YESNOCANCEL:
            buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            break;
        default:
            break;
    }
    QMessageBox box(icon, QString::fromLocal8Bit(prompt.caption.c_str()),
                    QString::fromLocal8Bit(prompt.text.c_str()), buttons, QApplication::activeWindow());
    switch (box.exec()) {
        case QMessageBox::Ok:
            return IDOK;
        case QMessageBox::Yes:
            return IDYES;
        case QMessageBox::No:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

std::atomic<MessageTarget*> g_window{nullptr};

// The answer of a box nobody can see any more.
int UnseenAnswer(unsigned flags) { return (flags & 0xF) == MB_OK ? IDOK : IDCANCEL; }

// Runs the toolkit box on the GUI thread, asking through the window from another thread.
int ShowOnGuiThread(const Prompt& prompt) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return PromptDefaultAnswer(prompt.flags);
    if (QThread::currentThread() == app->thread()) return ShowWithToolkit(prompt);
    const intptr_t answer =
        RunOnWindowThread(g_window.load(), [&] { return intptr_t{ShowWithToolkit(prompt)}; });
    if (answer == 0)
        DebugLog("ui", "a message box was not shown: the window is gone (%s)", prompt.text.c_str());
    return answer != 0 ? static_cast<int>(answer) : UnseenAnswer(prompt.flags);
}

}  // namespace

void InstallToolkitPrompts(MessageTarget* window) {
    g_window.store(window);
    SetToolkitPresenter(ShowOnGuiThread);
}

void SetPromptWindow(MessageTarget* window) { g_window.store(window); }

}  // namespace platform
