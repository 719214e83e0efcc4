#include "app/script/script_runner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/mainframe/main_frame.h"
#include "app/pagestrip/page_strip.h"
#include "app/view/vellumo_view.h"
#include "app/view/video_widget.h"
#include "platform/files/files.h"
#include "platform/ui/prompt.h"
#include "virtualcam/virtual_camera.h"

ScriptRunner::ScriptRunner(std::vector<ScriptStep> steps, CMainFrame* frame, QObject* parent)
    : QObject(parent), steps_(std::move(steps)), frame_(frame) {}

void ScriptRunner::Start() { QTimer::singleShot(0, this, &ScriptRunner::Next); }

QPixmap ScriptRunner::Screenshot() const {
    // The screen shows the dialogs over the window too; a platform that cannot grab it gets the window.
    if (QScreen* screen = frame_->screen()) {
        QPixmap shot = screen->grabWindow(0);
        if (!shot.isNull()) return shot;
    }
    return frame_->grab();
}

void ScriptRunner::Next() {
    while (next_ < steps_.size()) {
        const ScriptStep& step = steps_[next_++];
        switch (step.kind) {
            case ScriptStep::Kind::Wait:
                QTimer::singleShot(step.number, this, &ScriptRunner::Next);
                return;
            case ScriptStep::Kind::Answer:
                platform::QueueScriptedAnswer(step.number);
                break;
            case ScriptStep::Kind::Command:
                if (frame_ && !frame_->OnCommand(step.number))
                    std::fprintf(stderr, "SCRIPT command %d is not available\n", step.number);
                break;
            case ScriptStep::Kind::Screenshot: {
                if (!frame_) break;
                bool saved = Screenshot().save(QString::fromStdString(step.argument), "PNG");
                std::fprintf(stderr, "SCRIPT screenshot %s %s\n", step.argument.c_str(),
                             saved ? "saved" : "FAILED");
                break;
            }
            case ScriptStep::Kind::Camera:
                if (virtualcam::VirtualCamera* camera = virtualcam::AttachFromEnvironment()) {
                    if (step.argument == "unplug")
                        camera->Unplug();
                    else if (step.argument == "next")
                        camera->Picture().NextPicture();
                    else
                        camera->Plug();
                    std::fprintf(stderr, "SCRIPT camera %s\n", step.argument.c_str());
                } else {
                    std::fprintf(stderr, "SCRIPT camera %s: there is no virtual camera\n",
                                 step.argument.c_str());
                }
                break;
            case ScriptStep::Kind::Await:
                Await(step, std::chrono::steady_clock::now() + std::chrono::milliseconds(step.number),
                      Painted());
                return;
            case ScriptStep::Kind::Press:
                Press(step, std::chrono::steady_clock::now() + std::chrono::milliseconds(step.number));
                return;
            case ScriptStep::Kind::Strip:
                Strip(step, std::chrono::steady_clock::now() + std::chrono::milliseconds(step.number));
                return;
            case ScriptStep::Kind::Area:
                if (frame_) DragArea(step);
                break;
            case ScriptStep::Kind::Close:
                if (frame_) frame_->close();
                break;
        }
        // Let the event loop run what the step started (dialogs, repaints) before the next step.
        QTimer::singleShot(0, this, &ScriptRunner::Next);
        return;
    }
}

CVideoWidget* ScriptRunner::Video() const {
    return frame_ ? frame_->View()->findChild<CVideoWidget*>() : nullptr;
}

uint64_t ScriptRunner::Painted() const {
    CVideoWidget* video = Video();
    return video != nullptr ? video->PaintedFrames() : 0;
}

void ScriptRunner::Await(const ScriptStep& step, std::chrono::steady_clock::time_point deadline,
                         uint64_t painted) {
    CVideoWidget* video = Video();
    bool met = false;
    if (video != nullptr) {
        // A few frames more than at the start: the stream runs, not just one frame left in flight.
        if (step.argument == "live")
            met = video->PaintedFrames() >= painted + 3;
        else if (step.argument.rfind("captured:", 0) == 0)
            met = captured_ && captured_() >= step.control;
        else if (step.argument == "empty")
            // Painted so, not only let go of: a screenshot straight after takes what the screen shows.
            met = video->LatestFrame() == nullptr && (video->PaintedEmpty() || !video->isVisible());
        else if (step.argument == "raised")
            met = raised_ && raised_();
        else
            met = frame_ && frame_->Commands().State(800).enabled && (!idle_ || idle_());
    }
    const bool expired = std::chrono::steady_clock::now() >= deadline;
    if (met || expired || video == nullptr) {
        std::fprintf(stderr, "SCRIPT await %s %s\n", step.argument.c_str(), met ? "met" : "TIMED OUT");
        QTimer::singleShot(0, this, &ScriptRunner::Next);
        return;
    }
    QTimer::singleShot(50, this, [this, step, deadline, painted] { Await(step, deadline, painted); });
}

void ScriptRunner::Press(const ScriptStep& step, std::chrono::steady_clock::time_point deadline) {
    const QString name = QString::number(step.control);
    QAbstractButton* button = nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (!window->isVisible() || qobject_cast<QDialog*>(window) == nullptr) continue;
        auto* found = window->findChild<QAbstractButton*>(name);
        if (found != nullptr && found->isVisible() && found->isEnabled()) button = found;
    }
    const bool expired = std::chrono::steady_clock::now() >= deadline;
    if (button != nullptr || expired) {
        std::fprintf(stderr, "SCRIPT press %d %s\n", step.control, button != nullptr ? "done" : "TIMED OUT");
        // The click may start a modal loop of its own; the script goes on from the event loop either way.
        QTimer::singleShot(0, this, &ScriptRunner::Next);
        if (button != nullptr) button->click();
        return;
    }
    QTimer::singleShot(50, this, [this, step, deadline] { Press(step, deadline); });
}

void ScriptRunner::Strip(const ScriptStep& step, std::chrono::steady_clock::time_point deadline) {
    CPageStrip* strip = frame_ ? frame_->findChild<CPageStrip*>() : nullptr;
    const bool done = strip != nullptr && strip->Act(step.argument, step.control);
    if (done || std::chrono::steady_clock::now() >= deadline) {
        std::fprintf(stderr, "SCRIPT strip %s %d %s\n", step.argument.c_str(), step.control,
                     done ? "done" : "TIMED OUT");
        QTimer::singleShot(0, this, &ScriptRunner::Next);
        return;
    }
    QTimer::singleShot(50, this, [this, step, deadline] { Strip(step, deadline); });
}

void ScriptRunner::DragArea(const ScriptStep& step) {
    CVellumoView* view = frame_->View();
    const Rect& picture = view->VideoRect();
    auto at = [&](int x_percent, int y_percent) {
        return QPointF(picture.left + (picture.right - picture.left) * x_percent / 100.0,
                       picture.top + (picture.bottom - picture.top) * y_percent / 100.0);
    };
    auto send = [view](QEvent::Type type, QPointF local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, view->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &event);
    };
    const QPointF from = at(step.corners[0], step.corners[1]);
    const QPointF to = at(step.corners[2], step.corners[3]);
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    std::fprintf(stderr, "SCRIPT area %d %d %d %d\n", step.corners[0], step.corners[1], step.corners[2],
                 step.corners[3]);
}

ScriptRunner* ScriptRunner::StartFromEnvironment(CMainFrame* frame, QObject* parent) {
    const char* path = std::getenv("VELLUMO_SCRIPT");
    if (path == nullptr || path[0] == '\0') return nullptr;
    platform::SetUnattended(true);
    auto text = platform::ReadFile(path);
    if (!text) {
        std::fprintf(stderr, "SCRIPT cannot read %s\n", path);
        return nullptr;
    }
    ScriptParseResult parsed = ParseScript(*text);
    for (const std::string& error : parsed.errors) std::fprintf(stderr, "SCRIPT skipped %s\n", error.c_str());
    auto* runner = new ScriptRunner(std::move(parsed.steps), frame, parent);  // owned by parent
    runner->Start();
    return runner;
}
