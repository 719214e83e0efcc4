#pragma once
// Plays a script (see script.h) on the GUI thread against the main window.

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <vector>

#include "app/script/script.h"

class CMainFrame;

class ScriptRunner : public QObject {
    Q_OBJECT
public:
    ScriptRunner(std::vector<ScriptStep> steps, CMainFrame* frame, QObject* parent = nullptr);
    // Starts playing from the event loop.
    void Start();

    // Reads and starts the script named by VELLUMO_SCRIPT, if any. Errors are written to stderr.
    static ScriptRunner* StartFromEnvironment(CMainFrame* frame, QObject* parent);

private:
    void Next();
    QPixmap Screenshot() const;

    std::vector<ScriptStep> steps_;
    size_t next_ = 0;
    QPointer<CMainFrame> frame_;
};
