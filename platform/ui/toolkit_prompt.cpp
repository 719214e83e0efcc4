#include "platform/ui/toolkit_prompt.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

#include "platform/ui/prompt.h"

namespace platform {
namespace {

int ShowWithToolkit(const Prompt& prompt) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (prompt.flags & 0xF0) {
        case MB_ICONHAND: icon = QMessageBox::Critical; break;
        case MB_ICONQUESTION: icon = QMessageBox::Question; break;
        case MB_ICONWARNING: icon = QMessageBox::Warning; break;
        case MB_ICONINFORMATION: icon = QMessageBox::Information; break;
        default: break;
    }
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (prompt.flags & 0xF) {
        case MB_OKCANCEL: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
        case MB_YESNO: buttons = QMessageBox::Yes | QMessageBox::No; break;
        case MB_YESNOCANCEL: buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
        default: break;
    }
    QMessageBox box(icon, QString::fromLocal8Bit(prompt.caption.c_str()), QString::fromLocal8Bit(prompt.text.c_str()),
                    buttons, QApplication::activeWindow());
    switch (box.exec()) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        default: return IDCANCEL;
    }
}

// Runs the toolkit box on the GUI thread, waiting there when called from another thread.
int ShowOnGuiThread(const Prompt& prompt) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr) return PromptDefaultAnswer(prompt.flags);
    if (QThread::currentThread() == app->thread()) return ShowWithToolkit(prompt);
    int answer = IDCANCEL;
    QMetaObject::invokeMethod(app, [&] { answer = ShowWithToolkit(prompt); }, Qt::BlockingQueuedConnection);
    return answer;
}

}  // namespace

void InstallToolkitPrompts() { SetToolkitPresenter(ShowOnGuiThread); }

}  // namespace platform
