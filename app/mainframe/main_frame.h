#pragma once
// The single top-level window: the ribbon on top, the preview view in the middle (its live picture kept at
// 4:3 whenever the window changes size), a one-pane status bar (pane 120) with the settings summary, the
// look commands, and the window messages other threads send to the frame (see MessageTarget()).
// GUI thread only, except MessageTarget(), which any thread may use.

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "app/commands/command_table.h"
#include "app/mainframe/app_look.h"
#include "app/ribbon/ribbon_layout.h"
#include "capture/video_fit.h"
#include "platform/window/window_messages.h"

class QLabel;
class CRibbonBar;
class CVellumoView;
namespace platform {
class QtMessageTarget;
}

class CMainFrame : public QMainWindow {
    Q_OBJECT
  public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    CommandTable& Commands() { return commands_; }
    // Runs a command of the table; false when it does not exist or is disabled.
    bool OnCommand(int id);

    // Binds the accelerators of a table in the resource library's text form.
    void InstallAccelerators(const std::string& table);

    // The ribbon from layout resource 307 (faults are logged, the rest is shown), and the layout shown.
    void LoadRibbon(const std::string& xml);
    RibbonLayout& Ribbon() { return ribbon_layout_; }
    // Shows the ribbon layout again after it was changed (AddRibbonControls).
    void RebuildRibbon();
    CRibbonBar* RibbonBar() const { return ribbon_bar_; }

    void SetStatusText(const std::string& text);
    std::string StatusText() const;
    // Called when the window is being resized, to refresh the status text.
    void SetSizingHandler(std::function<void()> handler) { sizing_handler_ = std::move(handler); }

    CVellumoView* View() const { return view_; }
    // Called with the video rectangle whenever the view changes size (the view's own rectangle is set too).
    void SetVideoFitHandler(std::function<void(const VideoPlacement&)> handler);
    void FitVideoWindow();

    // Looks 205..219.
    void OnApplicationLook(int id);
    int m_nAppLook = kLookDefault;
    LookScheme CurrentScheme() const { return scheme_; }

    // The frame's window messages: post or send from any thread; handled here on the GUI thread. Closing the
    // window releases every sender still waiting. The target lives as long as the frame.
    platform::MessageTarget* MessageTarget() const;
    // From now on the frame's messages are dropped and every thread waiting on it is let go (exit).
    void CloseMessages();
    // What the frame does with a message (0x7E8 graph events, 0x7E9 capture done, device changes); a message
    // without a handler is logged and answered with 0.
    void SetMessageHandler(uint32_t message,
                           std::function<intptr_t(uintptr_t wparam, intptr_t lparam)> handler);

    // Decides whether the window may close; without one it always may.
    void SetCloseHandler(std::function<bool()> handler) { close_handler_ = std::move(handler); }

  signals:
    // The window has agreed to close.
    void Closed();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    intptr_t OnMessage(const platform::WindowMessage& message);
    void AddLookCommands();
    void ApplyScheme();

    CommandTable commands_;
    RibbonLayout ribbon_layout_;
    CRibbonBar* ribbon_bar_ = nullptr;
    QWidget* view_frame_ = nullptr;
    CVellumoView* view_ = nullptr;
    QLabel* status_pane_ = nullptr;
    LookScheme scheme_ = LookScheme::Blue;
    std::function<bool()> close_handler_;
    std::function<void()> sizing_handler_;
    std::function<void(const VideoPlacement&)> fit_handler_;
    std::map<uint32_t, std::function<intptr_t(uintptr_t, intptr_t)>> message_handlers_;
    std::unique_ptr<platform::QtMessageTarget> messages_;
};
