#pragma once
// Plays a script (see script.h) on the GUI thread against the main window.

#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/script/script.h"

class CMainFrame;
class CVideoWidget;

class ScriptRunner : public QObject {
    Q_OBJECT
  public:
    ScriptRunner(std::vector<ScriptStep> steps, CMainFrame* frame, QObject* parent = nullptr);
    // Starts playing from the event loop.
    void Start();

    // Reads and starts the script named by VELLUMO_SCRIPT, if any. Errors are written to stderr.
    static ScriptRunner* StartFromEnvironment(CMainFrame* frame, QObject* parent);

    // What "await ready" asks besides the capture command being enabled: that the work a capture left
    // behind (a page being recognised, a document being written) has ended too.
    void SetIdleCheck(std::function<bool()> idle) { idle_ = std::move(idle); }
    // What "await raised" asks: that a later start of the program has brought the window to the front.
    void SetRaisedCheck(std::function<bool()> raised) { raised_ = std::move(raised); }
    // The pages auto-capture has taken, for "await captured:N".
    void SetCapturedCount(std::function<int()> captured) { captured_ = std::move(captured); }

  private:
    void Next();
    QPixmap Screenshot() const;
    CVideoWidget* Video() const;
    uint64_t Painted() const;
    // Checks the awaited condition every 50 ms until it holds or the deadline passes, then goes on.
    void Await(const ScriptStep& step, std::chrono::steady_clock::time_point deadline, uint64_t painted);
    // Looks for the button every 50 ms until it is shown or the deadline passes, presses it and goes on.
    void Press(const ScriptStep& step, std::chrono::steady_clock::time_point deadline);
    // Tries the strip's action every 50 ms until the strip takes it or the deadline passes, then goes on.
    void Strip(const ScriptStep& step, std::chrono::steady_clock::time_point deadline);
    // Drags the step's capture area over the picture with the mouse.
    void DragArea(const ScriptStep& step);

    std::vector<ScriptStep> steps_;
    size_t next_ = 0;
    QPointer<CMainFrame> frame_;
    std::function<bool()> idle_;
    std::function<bool()> raised_;
    std::function<int()> captured_;
};
