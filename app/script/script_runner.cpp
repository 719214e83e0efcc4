#include "app/script/script_runner.h"

#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "app/mainframe/main_frame.h"
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
                std::fprintf(stderr, "SCRIPT screenshot %s %s\n", step.argument.c_str(), saved ? "saved" : "FAILED");
                break;
            }
            case ScriptStep::Kind::Camera:
                if (virtualcam::VirtualCamera* camera = virtualcam::AttachFromEnvironment()) {
                    if (step.argument == "unplug")
                        camera->Unplug();
                    else
                        camera->Plug();
                    std::fprintf(stderr, "SCRIPT camera %s\n", step.argument.c_str());
                } else {
                    std::fprintf(stderr, "SCRIPT camera %s: there is no virtual camera\n", step.argument.c_str());
                }
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
